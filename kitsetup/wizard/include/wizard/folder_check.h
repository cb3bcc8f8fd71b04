// What an install into a folder the user names would meet: whether the text
// is a folder path at all, the nearest folder on the way that exists, whether
// that one takes new folders, and the free space there.
#pragma once

#include <QString>
#include <optional>

namespace zub::kitsetup {

class FolderCheck {
public:
    enum class Verdict { Ok, NotAbsolute, NotFolder, NotWritable, NoSpace };

    // Looks at the file system only; nothing is created.
    FolderCheck(const QString& text, unsigned long long needed);

    // The text as a clean absolute path; "" when it is not one.
    const QString& Path() const { return path_; }
    // The deepest part of the path that exists ("" without a path).
    const QString& Existing() const { return existing_; }
    std::optional<unsigned long long> FreeBytes() const { return free_; }
    unsigned long long Needed() const { return needed_; }

    // Tries a folder of its own in Existing() and removes it again.
    Verdict Judge() const;
    // What the user reads about a verdict other than Ok.
    QString Explain(Verdict verdict) const;
    // "所需空间 … 可用空间 …" for the location page.
    QString SpaceLine() const;

private:
    QString path_;
    QString existing_;
    std::optional<unsigned long long> free_;
    unsigned long long needed_;
};

}  // namespace zub::kitsetup
