// The automation interfaces of vaultauto for C++ clients: identifiers and the
// eleven dual interfaces in their vtable order.
// Errors: every member returns an HRESULT and posts an error-information
// record with the text; a library error number n is 0x80040000 | n, and an
// exception caught in a member is 0x80040200. No exception leaves a member.
#pragma once

#include <zub/com/interfaces.h>

// {DD089D45-A833-4EF4-AF3C-5E4F1D8DBF26}
inline constexpr GUID LIBID_CoVaultDm{
    0xDD089D45, 0xA833, 0x4EF4, {0xAF, 0x3C, 0x5E, 0x4F, 0x1D, 0x8D, 0xBF, 0x26}};

inline constexpr CLSID CLSID_CoDocRepo{
    0x33B851DF, 0x1B1B, 0x43BE, {0x81, 0x3C, 0x34, 0x69, 0x6B, 0x3F, 0x1A, 0x1C}};
inline constexpr CLSID CLSID_CoDocRepos{
    0x221F03D4, 0x0632, 0x47C4, {0xA8, 0x45, 0xE5, 0x66, 0x29, 0xB3, 0x70, 0xDD}};
inline constexpr CLSID CLSID_CoVersionStra{
    0x362C10A4, 0x654C, 0x468D, {0x93, 0x1D, 0x39, 0x6B, 0x02, 0x2F, 0x5E, 0x39}};
inline constexpr CLSID CLSID_CoDocRepoAuth{
    0x673DCDB7, 0xD5AD, 0x4BCE, {0xAF, 0x3E, 0x81, 0xBB, 0xEC, 0xE9, 0xDD, 0x95}};
inline constexpr CLSID CLSID_CoDocRepoAuths{
    0xD820BBF8, 0x78A6, 0x4C75, {0xBF, 0x1B, 0x48, 0x79, 0x01, 0xFD, 0x75, 0xD6}};
inline constexpr CLSID CLSID_CoDoc{
    0xA661C5D7, 0xE874, 0x42E0, {0xA0, 0x91, 0x64, 0x06, 0xD0, 0x61, 0x5E, 0x79}};
inline constexpr CLSID CLSID_CoDocs{
    0xBC7543DE, 0x95CF, 0x4F75, {0xB0, 0x5B, 0x04, 0xC5, 0xC9, 0x9B, 0x5F, 0xE8}};
inline constexpr CLSID CLSID_CoBaseLine{
    0x3C3E1292, 0xF0D5, 0x4F49, {0xAD, 0x69, 0x3A, 0x49, 0x11, 0x5F, 0x2E, 0x31}};
inline constexpr CLSID CLSID_CoBaseLines{
    0xFD4FB5F5, 0x20D4, 0x43D4, {0xBB, 0xF0, 0x58, 0xEB, 0xE7, 0x82, 0xEF, 0x9C}};
inline constexpr CLSID CLSID_CoDocHistory{
    0x597F8CB5, 0xAC7F, 0x4700, {0x96, 0xD1, 0x16, 0x81, 0x36, 0x19, 0x41, 0x83}};
inline constexpr CLSID CLSID_CoDocHistorys{
    0x7EC84E91, 0x2F1C, 0x4764, {0xBB, 0x56, 0x91, 0xDF, 0xE6, 0xCE, 0x00, 0xA6}};

inline constexpr IID IID_ICoDocRepo{
    0xE2285418, 0x47A3, 0x4457, {0x90, 0x4E, 0x5F, 0x85, 0x18, 0x46, 0xEA, 0x9C}};
inline constexpr IID IID_ICoDocRepos{
    0x66E61B2F, 0x2CEC, 0x4508, {0x8A, 0xDC, 0x5C, 0x5E, 0xD9, 0x0B, 0x82, 0x85}};
inline constexpr IID IID_ICoVersionStra{
    0x9BC6C18F, 0x0AD7, 0x4919, {0xB5, 0x53, 0x7F, 0x3F, 0xB6, 0x18, 0x98, 0x78}};
inline constexpr IID IID_ICoDocRepoAuth{
    0xC0895621, 0xB537, 0x4440, {0xBC, 0x4E, 0x29, 0x45, 0xD4, 0x09, 0x7F, 0xD8}};
inline constexpr IID IID_ICoDocRepoAuths{
    0x01A73CA9, 0x95F9, 0x4844, {0x94, 0x93, 0xF1, 0xDE, 0xDC, 0xBF, 0x81, 0x61}};
inline constexpr IID IID_ICoDoc{
    0x54763B43, 0xFB2C, 0x4151, {0xB4, 0x2F, 0x22, 0x85, 0xB8, 0x36, 0x3F, 0xB1}};
inline constexpr IID IID_ICoDocs{
    0xE34B532D, 0x9B41, 0x4893, {0x85, 0x93, 0x62, 0xC8, 0x27, 0x62, 0xA3, 0x4D}};
inline constexpr IID IID_ICoBaseLine{
    0x88DE5AC3, 0x0EAE, 0x4F9F, {0xA3, 0xD2, 0xAB, 0xA6, 0x67, 0x4D, 0x81, 0x3E}};
inline constexpr IID IID_ICoBaseLines{
    0xDB15A25B, 0x156D, 0x4F98, {0x91, 0xA7, 0x41, 0xBF, 0x9E, 0x1B, 0x20, 0x29}};
inline constexpr IID IID_ICoDocHistory{
    0xF45DC677, 0x3A5E, 0x414E, {0x9E, 0xA6, 0x95, 0x74, 0x03, 0xF6, 0x98, 0x89}};
inline constexpr IID IID_ICoDocHistorys{
    0x2B0266EC, 0xBFD0, 0x4804, {0xB4, 0x04, 0x79, 0x39, 0x82, 0xA4, 0x76, 0x9F}};

// Every member returns an HRESULT; a get's retval and a method's result come
// last. The declaration order is the vtable order of the type library.

struct ICoDocRepo : IDispatch {
    virtual HRESULT Delete() = 0;
    virtual HRESULT setpDocRepo(SHORT Id) = 0;
    virtual HRESULT get_name(BSTR* pVal) = 0;
    virtual HRESULT put_name(BSTR newVal) = 0;
    virtual HRESULT get_desc(BSTR* pVal) = 0;
    virtual HRESULT put_desc(BSTR newVal) = 0;
    virtual HRESULT get_Id(SHORT* pVal) = 0;
    virtual HRESULT put_Id(SHORT newVal) = 0;
    virtual HRESULT get_bsNfsServer(BSTR* pVal) = 0;
    virtual HRESULT put_bsNfsServer(BSTR newVal) = 0;
    virtual HRESULT get_bsNfsPort(SHORT* pVal) = 0;
    virtual HRESULT put_bsNfsPort(SHORT newVal) = 0;
    virtual HRESULT get_bsNfsRootDir(BSTR* pVal) = 0;
    virtual HRESULT put_bsNfsRootDir(BSTR newVal) = 0;
    virtual HRESULT get_nCreator(SHORT* pVal) = 0;
    virtual HRESULT put_nCreator(SHORT newVal) = 0;
    virtual HRESULT Create(LONG* ret) = 0;
    virtual HRESULT Read(LONG Id) = 0;
    virtual HRESULT BackUp(BSTR LocalDir, LONG* ret) = 0;
    virtual HRESULT UpdateBaseInfo(LONG* ret) = 0;
    virtual HRESULT get_createdTime(DATE* pVal) = 0;
    virtual HRESULT put_createdTime(DATE newVal) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;
    virtual HRESULT get_VersionStraId(LONG* pVal) = 0;
    virtual HRESULT put_VersionStraId(LONG newVal) = 0;
    virtual HRESULT get_CreatorName(BSTR* pVal) = 0;
    virtual HRESULT put_CreatorName(BSTR newVal) = 0;

protected:
    ~ICoDocRepo() = default;
};

struct ICoDocRepos : IDispatch {
    virtual HRESULT initDocRepos(LONG* ret) = 0;
    virtual HRESULT Count(LONG* num) = 0;
    virtual HRESULT item(LONG i, ICoDocRepo** Codr) = 0;
    virtual HRESULT Add(ICoDocRepo* icdr) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;
    virtual HRESULT GetDocRepoForUser(LONG UserId, LONG* ret) = 0;
    virtual HRESULT RemoveAt(LONG i) = 0;
    virtual HRESULT RemoveByKey(BSTR Key) = 0;

protected:
    ~ICoDocRepos() = default;
};

struct ICoVersionStra : IDispatch {
    virtual HRESULT SetVersionStra(SHORT Id) = 0;
    virtual HRESULT get_VersionStraId(SHORT* pVal) = 0;
    virtual HRESULT put_VersionStraId(SHORT newVal) = 0;
    virtual HRESULT get_SeriaNumStra(SHORT* pVal) = 0;
    virtual HRESULT put_SeriaNumStra(SHORT newVal) = 0;
    virtual HRESULT get_Begin_Main(SHORT* pVal) = 0;
    virtual HRESULT put_Begin_Main(SHORT newVal) = 0;
    virtual HRESULT get_Begin_Sub(SHORT* pVal) = 0;
    virtual HRESULT put_Begin_Sub(SHORT newVal) = 0;
    virtual HRESULT get_NewDocBeginNum(SHORT* pVal) = 0;
    virtual HRESULT put_NewDocBeginNum(SHORT newVal) = 0;
    virtual HRESULT get_DocAdvScope(SHORT* pVal) = 0;
    virtual HRESULT put_DocAdvScope(SHORT newVal) = 0;
    virtual HRESULT get_CreateBSLNAdv(SHORT* pVal) = 0;
    virtual HRESULT put_CreateBSLNAdv(SHORT newVal) = 0;
    virtual HRESULT Create(LONG* ret) = 0;
    virtual HRESULT Update(LONG* ret) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;
    virtual HRESULT save(LONG* ret) = 0;
    virtual HRESULT Read(LONG VersionStraId) = 0;

protected:
    ~ICoVersionStra() = default;
};

struct ICoDocRepoAuth : IDispatch {
    virtual HRESULT get_Id(LONG* pVal) = 0;
    virtual HRESULT put_Id(LONG newVal) = 0;
    virtual HRESULT get_DocRepoId(LONG* pVal) = 0;
    virtual HRESULT put_DocRepoId(LONG newVal) = 0;
    virtual HRESULT get_UserId(LONG* pVal) = 0;
    virtual HRESULT put_UserId(LONG newVal) = 0;
    virtual HRESULT get_RoleId(LONG* pVal) = 0;
    virtual HRESULT put_RoleId(LONG newVal) = 0;
    virtual HRESULT get_ByRoleOrUser(LONG* pVal) = 0;
    virtual HRESULT put_ByRoleOrUser(LONG newVal) = 0;
    virtual HRESULT get_Read(LONG* pVal) = 0;
    virtual HRESULT put_Read(LONG newVal) = 0;
    virtual HRESULT get_Write(LONG* pVal) = 0;
    virtual HRESULT put_Write(LONG newVal) = 0;
    virtual HRESULT get_Manage(LONG* pVal) = 0;
    virtual HRESULT put_Manage(LONG newVal) = 0;
    virtual HRESULT get_name(BSTR* pVal) = 0;
    virtual HRESULT put_name(BSTR newVal) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;
    virtual HRESULT save() = 0;

protected:
    ~ICoDocRepoAuth() = default;
};

struct ICoDocRepoAuths : IDispatch {
    virtual HRESULT Select() = 0;
    virtual HRESULT save() = 0;
    virtual HRESULT Delete() = 0;
    virtual HRESULT initDocRepoAuths(SHORT DocRepoId) = 0;
    virtual HRESULT Count(SHORT* num) = 0;
    virtual HRESULT item(LONG i, ICoDocRepoAuth** cra) = 0;
    virtual HRESULT Add(ICoDocRepoAuth* Icdra) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT SelectForUser(LONG UserId) = 0;
    virtual HRESULT ItemByKey(BSTR Key, ICoDocRepoAuth** cra) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;

protected:
    ~ICoDocRepoAuths() = default;
};

struct ICoDoc : IDispatch {
    virtual HRESULT get_Id(LONG* pVal) = 0;
    virtual HRESULT put_Id(LONG newVal) = 0;
    virtual HRESULT get_DocRepoId(LONG* pVal) = 0;
    virtual HRESULT put_DocRepoId(LONG newVal) = 0;
    virtual HRESULT get_FileName(BSTR* pVal) = 0;
    virtual HRESULT put_FileName(BSTR newVal) = 0;
    virtual HRESULT get_Ext(BSTR* pVal) = 0;
    virtual HRESULT put_Ext(BSTR newVal) = 0;
    virtual HRESULT get_CurrentVersion(BSTR* pVal) = 0;
    virtual HRESULT put_CurrentVersion(BSTR newVal) = 0;
    virtual HRESULT get_State(SHORT* pVal) = 0;
    virtual HRESULT put_State(SHORT newVal) = 0;
    virtual HRESULT get_CheckOutById(SHORT* pVal) = 0;
    virtual HRESULT put_CheckOutById(SHORT newVal) = 0;
    virtual HRESULT get_CheckOutByName(BSTR* pVal) = 0;
    virtual HRESULT put_CheckOutByName(BSTR newVal) = 0;
    virtual HRESULT get_CreById(SHORT* pVal) = 0;
    virtual HRESULT put_CreById(SHORT newVal) = 0;
    virtual HRESULT get_CreByName(BSTR* pVal) = 0;
    virtual HRESULT put_CreByName(BSTR newVal) = 0;
    virtual HRESULT get_LstUptById(SHORT* pVal) = 0;
    virtual HRESULT put_LstUptById(SHORT newVal) = 0;
    virtual HRESULT get_LstUptByName(BSTR* pVal) = 0;
    virtual HRESULT put_LstUptByName(BSTR newVal) = 0;
    virtual HRESULT get_PhyUrl(BSTR* pVal) = 0;
    virtual HRESULT put_PhyUrl(BSTR newVal) = 0;
    virtual HRESULT setForDoc(LONG Id) = 0;
    virtual HRESULT CheckOut(BSTR LocalDir, LONG* ret) = 0;
    virtual HRESULT ReName(BSTR NewName, LONG* ret) = 0;
    virtual HRESULT CheckIn(BSTR LocalDir, LONG* ret) = 0;
    virtual HRESULT Delete(LONG* ret) = 0;
    virtual HRESULT Add(BSTR LocalDir, LONG* ret) = 0;
    virtual HRESULT GetHistory(BSTR VersionStr, BSTR LocalDir, LONG* ret) = 0;
    virtual HRESULT View(BSTR LocalDor, LONG* ret) = 0;
    virtual HRESULT get_CreTime(DATE* pVal) = 0;
    virtual HRESULT put_CreTime(DATE newVal) = 0;
    virtual HRESULT get_LstUptTime(DATE* pVal) = 0;
    virtual HRESULT put_LstUptTime(DATE newVal) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;
    virtual HRESULT get_CaxDocType(LONG* pVal) = 0;
    virtual HRESULT put_CaxDocType(LONG newVal) = 0;
    virtual HRESULT GetRevision(LONG* revision) = 0;
    virtual HRESULT get_ModifyInfo(BSTR* pVal) = 0;
    virtual HRESULT put_ModifyInfo(BSTR newVal) = 0;
    virtual HRESULT CheckInWithForm(BSTR LocalDir, BSTR rcid, LONG* ret) = 0;

protected:
    ~ICoDoc() = default;
};

struct ICoDocs : IDispatch {
    virtual HRESULT GetAll(SHORT DocRepoId, SHORT BaseLineId, LONG* ret) = 0;
    virtual HRESULT Count(LONG* num) = 0;
    virtual HRESULT item(LONG i, ICoDoc** icd) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT ItemByKey(BSTR Key, ICoDoc** cod) = 0;
    virtual HRESULT RemoveByKey(BSTR Key) = 0;
    virtual HRESULT Add(ICoDoc* icd) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;

protected:
    ~ICoDocs() = default;
};

struct ICoBaseLine : IDispatch {
    virtual HRESULT get_Id(SHORT* pVal) = 0;
    virtual HRESULT put_Id(SHORT newVal) = 0;
    virtual HRESULT get_BaseLine(SHORT* pVal) = 0;
    virtual HRESULT put_BaseLine(SHORT newVal) = 0;
    virtual HRESULT get_name(BSTR* pVal) = 0;
    virtual HRESULT put_name(BSTR newVal) = 0;
    virtual HRESULT get_desc(BSTR* pVal) = 0;
    virtual HRESULT put_desc(BSTR newVal) = 0;
    virtual HRESULT Delete() = 0;
    virtual HRESULT get_DocRepoId(LONG* pVal) = 0;
    virtual HRESULT put_DocRepoId(LONG newVal) = 0;
    virtual HRESULT Create(LONG* ret) = 0;
    virtual HRESULT DownLoad(BSTR LocalDir, LONG* ret) = 0;
    virtual HRESULT get_createdTime(DATE* pVal) = 0;
    virtual HRESULT put_createdTime(DATE newVal) = 0;
    virtual HRESULT connect(BSTR qvSerrver, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;

protected:
    ~ICoBaseLine() = default;
};

struct ICoBaseLines : IDispatch {
    virtual HRESULT GetAll(SHORT DocRepoId) = 0;
    virtual HRESULT Count(LONG* num) = 0;
    virtual HRESULT item(LONG i, ICoBaseLine** pibl) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;

protected:
    ~ICoBaseLines() = default;
};

struct ICoDocHistory : IDispatch {
    virtual HRESULT get_Id(LONG* pVal) = 0;
    virtual HRESULT put_Id(LONG newVal) = 0;
    virtual HRESULT get_DocId(LONG* pVal) = 0;
    virtual HRESULT put_DocId(LONG newVal) = 0;
    virtual HRESULT get_BaseLineId(LONG* pVal) = 0;
    virtual HRESULT put_BaseLineId(LONG newVal) = 0;
    virtual HRESULT get_HisDocName(BSTR* pVal) = 0;
    virtual HRESULT put_HisDocName(BSTR newVal) = 0;
    virtual HRESULT get_OperatorId(LONG* pVal) = 0;
    virtual HRESULT put_OperatorId(LONG newVal) = 0;
    virtual HRESULT get_m_OperatorName(BSTR* pVal) = 0;
    virtual HRESULT put_m_OperatorName(BSTR newVal) = 0;
    virtual HRESULT get_OperateInfo(BSTR* pVal) = 0;
    virtual HRESULT put_OperateInfo(BSTR newVal) = 0;
    virtual HRESULT get_Action(LONG* pVal) = 0;
    virtual HRESULT put_Action(LONG newVal) = 0;
    virtual HRESULT get_PhyUrl(BSTR* pVal) = 0;
    virtual HRESULT put_PhyUrl(BSTR newVal) = 0;
    virtual HRESULT get_Version_Main(LONG* pVal) = 0;
    virtual HRESULT put_Version_Main(LONG newVal) = 0;
    virtual HRESULT get_Version_Sub(LONG* pVal) = 0;
    virtual HRESULT put_Version_Sub(LONG newVal) = 0;
    virtual HRESULT get_ReVersion(LONG* pVal) = 0;
    virtual HRESULT put_ReVersion(LONG newVal) = 0;
    virtual HRESULT get_OperatorTime(DATE* pVal) = 0;
    virtual HRESULT put_OperatorTime(DATE newVal) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;

protected:
    ~ICoDocHistory() = default;
};

struct ICoDocHistorys : IDispatch {
    virtual HRESULT GetAll(LONG DocId, LONG BaseLineId) = 0;
    virtual HRESULT item(LONG num, ICoDocHistory** icdh) = 0;
    virtual HRESULT Count(LONG* num) = 0;
    virtual HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) = 0;

protected:
    ~ICoDocHistorys() = default;
};
