// What the wrappers share: a single library object (owned or borrowed from a
// collection) or a library collection, and the member helpers over them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "collectionhold.h"
#include "comobject.h"
#include "memberframe.h"

namespace zub::vaultauto {

struct ClassNames {
    const wchar_t* className;
    const wchar_t* sourceName;
    const wchar_t* progId;
};

template <class Itf, class Lib>
class SingleWrapper : public ComObject<Itf>, protected MemberFrame {
public:
    // Points at a collection's element (or at nothing) instead of an owned object.
    void AttachBorrowed(std::shared_ptr<CollectionHold> hold, Lib* element) {
        LetGo();
        wrapped_ = element;
        lease_ = std::move(hold);
        if (element) lease_->Borrow(element);
    }
    Lib* Wrapped() const { return wrapped_; }
    bool BorrowedFrom(const CollectionHold* hold) const { return lease_.get() == hold; }
    bool Owns() const { return own_ != nullptr; }
    // Add: the collection becomes the owner and this wrapper borrows from it.
    void MoveInto(const std::shared_ptr<CollectionHold>& hold) {
        Lib* element = own_.release();
        hold->Bos().Add(element);
        AttachBorrowed(hold, element);
    }

protected:
    SingleWrapper(IUnknown* outer, const IID& iid, const ClassNames& names)
        : ComObject<Itf>(outer, iid), MemberFrame(names.className, names.sourceName, names.progId) {
        own_ = std::make_unique<Lib>();
        wrapped_ = own_.get();
    }
    ~SingleWrapper() override { LetGo(); }

    // A new empty object replaces the wrapped one (setpDocRepo, SetVersionStra).
    // It is connected as the one it replaces was, so that the Read that
    // follows can reach the database.
    Lib& Renew() {
        auto fresh = std::make_unique<Lib>();
        if (wrapped_ && wrapped_->IsConnected() && connectedWith_)
            fresh->Connect(connectedWith_->server, connectedWith_->port, connectedWith_->db,
                           connectedWith_->token);
        LetGo();
        own_ = std::move(fresh);
        wrapped_ = own_.get();
        return *wrapped_;
    }

    template <class Body>
    HRESULT Member(const wchar_t* member, int line, Body&& body) noexcept {
        return Run(wrapped_ != nullptr, member, line, std::forward<Body>(body));
    }
    template <class Out, class Getter>
    HRESULT Get(const wchar_t* member, int line, Out* out, Getter getter) noexcept {
        return Member(member, line, [&]() -> HRESULT {
            if (!out) return E_POINTER;
            Store(getter(*wrapped_), out);
            return S_OK;
        });
    }
    template <class In, class Setter>
    HRESULT Put(const wchar_t* member, int line, In value, Setter setter) noexcept {
        return Member(member, line, [&]() -> HRESULT {
            setter(*wrapped_, FromCom(value));
            return S_OK;
        });
    }
    // connect(server, port, db, token): null texts skip the call.
    HRESULT Connect(int line, BSTR server, LONG port, BSTR db, BSTR token, LONG* ret) noexcept {
        return Member(L"connect", line, [&]() -> HRESULT {
            if (!server || !db || !token) return S_OK;
            if (!ret) return E_POINTER;
            connectedWith_ = ConnectArgs{FromCom(server), port, FromCom(db), FromCom(token)};
            *ret =
                ToLong(ConnectResult(wrapped_->Connect(connectedWith_->server, port,
                                                       connectedWith_->db, connectedWith_->token),
                                     *wrapped_));
            return S_OK;
        });
    }

    Lib* wrapped_ = nullptr;

private:
    struct ConnectArgs {
        std::wstring server;
        long port = 0;
        std::wstring db;
        std::wstring token;
    };

    void LetGo() {
        if (lease_ && wrapped_) lease_->Return(wrapped_);
        lease_.reset();
        own_.reset();
        wrapped_ = nullptr;
    }

    std::unique_ptr<Lib> own_;
    std::shared_ptr<CollectionHold> lease_;
    std::optional<ConnectArgs> connectedWith_;
};

template <class Itf, class Coll, class Elem>
class CollectionWrapper : public ComObject<Itf>, protected MemberFrame {
protected:
    CollectionWrapper(IUnknown* outer, const IID& iid, const ClassNames& names)
        : ComObject<Itf>(outer, iid), MemberFrame(names.className, names.sourceName, names.progId) {
        auto coll = std::make_unique<Coll>();
        wrapped_ = coll.get();
        hold_ = std::make_shared<CollectionHold>(
            std::move(coll), [](const BO& element) -> std::unique_ptr<BO> {
                return std::make_unique<Elem>(static_cast<const Elem&>(element));
            });
    }
    ~CollectionWrapper() override = default;

    template <class Body>
    HRESULT Member(const wchar_t* member, int line, Body&& body) noexcept {
        return Run(wrapped_ != nullptr, member, line, std::forward<Body>(body));
    }
    HRESULT Connect(int line, BSTR server, LONG port, BSTR db, BSTR token, LONG* ret) noexcept {
        return Member(L"connect", line, [&]() -> HRESULT {
            if (!server || !db || !token) return S_OK;
            if (!ret) return E_POINTER;
            *ret = ToLong(ConnectResult(
                wrapped_->Connect(FromCom(server), port, FromCom(db), FromCom(token)), *wrapped_));
            return S_OK;
        });
    }
    // Count, error-reporting.
    template <class Out>
    HRESULT CountMember(int line, Out* num) noexcept {
        return Member(L"Count", line, [&]() -> HRESULT {
            if (!num) return E_POINTER;
            return Reporting(*wrapped_, [&] { Store(wrapped_->Count(), num); });
        });
    }
    // Clear, error-reporting; borrowed elements survive for their borrowers.
    HRESULT ClearMember(int line) noexcept {
        return Member(L"Clear", line, [&]() -> HRESULT {
            return Reporting(*wrapped_, [&] {
                hold_->Shielded([&] {
                    wrapped_->Clear();
                    return 0;
                });
            });
        });
    }
    // item / ItemByKey: a new wrapper borrowing the element (or nothing).
    template <class ElementWrapper, class ElementItf>
    HRESULT HandOut(BO* element, const IID& iid, ElementItf** out) {
        auto* wrapper = new ElementWrapper(nullptr);
        IUnknown* inner = wrapper->Inner();
        inner->AddRef();
        wrapper->AttachBorrowed(hold_, static_cast<Elem*>(element));
        HRESULT hr = inner->QueryInterface(iid, reinterpret_cast<void**>(out));
        inner->Release();
        return hr;
    }
    // Add: the argument must be a live wrapper of this server.
    template <class ElementWrapper, class ElementItf>
    HRESULT AddMember(int line, const IID& iid, ElementItf* itf) noexcept {
        return Member(L"Add", line, [&]() -> HRESULT {
            if (!itf || !IsOurWrapper(itf, iid))
                return Report(E_INVALIDARG, ZUB_N_(L"The argument is no object of this server."));
            auto* other = static_cast<ElementWrapper*>(itf);
            auto* element = other->Wrapped();
            if (!element) return Report(kHrMemberFailed, kNothingText);
            if (other->Owns()) {
                other->MoveInto(hold_);
            } else if (!other->BorrowedFrom(hold_.get())) {
                // Owned by another collection: this one gets a copy of its own.
                wrapped_->Add(hold_->CloneOf(*element).release());
            }
            return S_OK;
        });
    }
    // RemoveAt / RemoveByKey: the element leaves the collection and is
    // destroyed unless a wrapper still borrows it.
    template <class Key>
    void RemoveElement(const Key& key) {
        hold_->Discard(wrapped_->Remove(key));
    }

    Coll* wrapped_ = nullptr;
    std::shared_ptr<CollectionHold> hold_;
};

}  // namespace zub::vaultauto
