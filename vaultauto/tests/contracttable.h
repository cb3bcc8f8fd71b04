// The published contract of the automation server as one data table: the
// classes, their registry names and every interface member in slot order.
// The type-library, registration and dispatch tests are all driven from it.
#pragma once

#include <array>

namespace zub::vaultauto::test {

struct ClassRow {
    const wchar_t* coclass;
    const wchar_t* clsid;
    const wchar_t* iface;
    const wchar_t* iid;
};

// In type-library order (each coclass is followed by its interface).
inline constexpr std::array<ClassRow, 11> kClasses{{
    {L"CoDocRepo", L"{33B851DF-1B1B-43BE-813C-34696B3F1A1C}", L"ICoDocRepo",
     L"{E2285418-47A3-4457-904E-5F851846EA9C}"},
    {L"CoDocRepos", L"{221F03D4-0632-47C4-A845-E56629B370DD}", L"ICoDocRepos",
     L"{66E61B2F-2CEC-4508-8ADC-5C5ED90B8285}"},
    {L"CoVersionStra", L"{362C10A4-654C-468D-931D-396B022F5E39}", L"ICoVersionStra",
     L"{9BC6C18F-0AD7-4919-B553-7F3FB6189878}"},
    {L"CoDocRepoAuth", L"{673DCDB7-D5AD-4BCE-AF3E-81BBECE9DD95}", L"ICoDocRepoAuth",
     L"{C0895621-B537-4440-BC4E-2945D4097FD8}"},
    {L"CoDocRepoAuths", L"{D820BBF8-78A6-4C75-BF1B-487901FD75D6}", L"ICoDocRepoAuths",
     L"{01A73CA9-95F9-4844-9493-F1DEDCBF8161}"},
    {L"CoDoc", L"{A661C5D7-E874-42E0-A091-6406D0615E79}", L"ICoDoc",
     L"{54763B43-FB2C-4151-B42F-2285B8363FB1}"},
    {L"CoDocs", L"{BC7543DE-95CF-4F75-B05B-04C5C99B5FE8}", L"ICoDocs",
     L"{E34B532D-9B41-4893-8593-62C82762A34D}"},
    {L"CoBaseLine", L"{3C3E1292-F0D5-4F49-AD69-3A49115F2E31}", L"ICoBaseLine",
     L"{88DE5AC3-0EAE-4F9F-A3D2-ABA6674D813E}"},
    {L"CoBaseLines", L"{FD4FB5F5-20D4-43D4-BBF0-58EBE782EF9C}", L"ICoBaseLines",
     L"{DB15A25B-156D-4F98-91A7-41BF9E1B2029}"},
    {L"CoDocHistory", L"{597F8CB5-AC7F-4700-96D1-168136194183}", L"ICoDocHistory",
     L"{F45DC677-3A5E-414E-9EA6-957403F69889}"},
    {L"CoDocHistorys", L"{7EC84E91-2F1C-4764-BB56-91DFE6CE00A6}", L"ICoDocHistorys",
     L"{2B0266EC-BFD0-4804-B404-793982A4769F}"},
}};

inline constexpr const wchar_t* kLibId = L"{DD089D45-A833-4EF4-AF3C-5E4F1D8DBF26}";
inline constexpr const wchar_t* kAppId = L"{CB663127-EE17-44B5-A76B-8E4B49A6785D}";

enum class Kind { Method, Property };

// One row of an interface table. A property stands for its get and its put.
// `args` lists the inputs as "[in] type name" or, for the inputs declared
// without a direction, "type name"; `result` is "type name" or empty. `help`
// is null where the help string follows the naming rule.
struct MemberRow {
    const wchar_t* iface;
    int dispid;
    const wchar_t* name;
    Kind kind;
    const wchar_t* type;  // property type; unused for methods
    const wchar_t* args;
    const wchar_t* result;
    const wchar_t* help;
};

constexpr Kind M = Kind::Method;
constexpr Kind P = Kind::Property;

inline constexpr MemberRow kMembers[] = {
    {L"ICoDocRepo", 2, L"Delete", M, L"", L"", L"", nullptr},
    {L"ICoDocRepo", 4, L"setpDocRepo", M, L"", L"[in] short Id", L"", nullptr},
    {L"ICoDocRepo", 5, L"name", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocRepo", 6, L"desc", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocRepo", 7, L"Id", P, L"short", L"", L"", nullptr},
    {L"ICoDocRepo", 8, L"bsNfsServer", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocRepo", 9, L"bsNfsPort", P, L"short", L"", L"", nullptr},
    {L"ICoDocRepo", 10, L"bsNfsRootDir", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocRepo", 11, L"nCreator", P, L"short", L"", L"", nullptr},
    {L"ICoDocRepo", 13, L"Create", M, L"", L"", L"long ret", nullptr},
    {L"ICoDocRepo", 14, L"Read", M, L"", L"[in] long Id", L"", nullptr},
    {L"ICoDocRepo", 15, L"BackUp", M, L"", L"[in] BSTR LocalDir", L"long ret", nullptr},
    {L"ICoDocRepo", 17, L"UpdateBaseInfo", M, L"", L"", L"long ret", nullptr},
    {L"ICoDocRepo", 18, L"createdTime", P, L"DATE", L"", L"", nullptr},
    {L"ICoDocRepo", 19, L"connect", M, L"", L"BSTR qvServer, long Port, BSTR db, BSTR token",
     L"long ret", nullptr},
    {L"ICoDocRepo", 20, L"VersionStraId", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepo", 21, L"CreatorName", P, L"BSTR", L"", L"", nullptr},

    {L"ICoDocRepos", 1, L"initDocRepos", M, L"", L"", L"long ret", nullptr},
    {L"ICoDocRepos", 2, L"Count", M, L"", L"", L"long num", nullptr},
    {L"ICoDocRepos", 3, L"item", M, L"", L"[in] long i", L"ICoDocRepo* Codr", nullptr},
    {L"ICoDocRepos", 4, L"Add", M, L"", L"[in] ICoDocRepo* icdr", L"", nullptr},
    {L"ICoDocRepos", 5, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, [in] BSTR token", L"long ret", nullptr},
    {L"ICoDocRepos", 6, L"GetDocRepoForUser", M, L"", L"[in] long UserId", L"long ret", nullptr},
    {L"ICoDocRepos", 7, L"RemoveAt", M, L"", L"[in] long i", L"", nullptr},
    {L"ICoDocRepos", 8, L"RemoveByKey", M, L"", L"[in] BSTR Key", L"", nullptr},

    {L"ICoVersionStra", 1, L"SetVersionStra", M, L"", L"[in] short Id", L"", nullptr},
    {L"ICoVersionStra", 2, L"VersionStraId", P, L"short", L"", L"", nullptr},
    {L"ICoVersionStra", 3, L"SeriaNumStra", P, L"short", L"", L"", nullptr},
    {L"ICoVersionStra", 4, L"Begin_Main", P, L"short", L"", L"", nullptr},
    {L"ICoVersionStra", 5, L"Begin_Sub", P, L"short", L"", L"", nullptr},
    {L"ICoVersionStra", 6, L"NewDocBeginNum", P, L"short", L"", L"", nullptr},
    {L"ICoVersionStra", 7, L"DocAdvScope", P, L"short", L"", L"", nullptr},
    {L"ICoVersionStra", 8, L"CreateBSLNAdv", P, L"short", L"", L"", nullptr},
    {L"ICoVersionStra", 9, L"Create", M, L"", L"", L"long ret", nullptr},
    {L"ICoVersionStra", 10, L"Update", M, L"", L"", L"long ret", nullptr},
    {L"ICoVersionStra", 11, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, [in] BSTR token", L"long ret", nullptr},
    {L"ICoVersionStra", 12, L"save", M, L"", L"", L"long ret", nullptr},
    {L"ICoVersionStra", 13, L"Read", M, L"", L"[in] long VersionStraId", L"", nullptr},

    {L"ICoDocRepoAuth", 1, L"Id", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 2, L"DocRepoId", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 3, L"UserId", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 4, L"RoleId", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 5, L"ByRoleOrUser", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 6, L"Read", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 7, L"Write", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 8, L"Manage", P, L"long", L"", L"", nullptr},
    {L"ICoDocRepoAuth", 9, L"name", P, L"BSTR", L"", L"", L"property Name"},
    {L"ICoDocRepoAuth", 10, L"connect", M, L"",
     L"[in] BSTR qvServer, long Port, BSTR db, BSTR token", L"long ret", nullptr},
    {L"ICoDocRepoAuth", 11, L"save", M, L"", L"", L"", L"method Save"},

    {L"ICoDocRepoAuths", 1, L"Select", M, L"", L"", L"", nullptr},
    {L"ICoDocRepoAuths", 2, L"save", M, L"", L"", L"", L"method Save"},
    {L"ICoDocRepoAuths", 3, L"Delete", M, L"", L"", L"", nullptr},
    {L"ICoDocRepoAuths", 4, L"initDocRepoAuths", M, L"", L"short DocRepoId", L"", nullptr},
    {L"ICoDocRepoAuths", 5, L"Count", M, L"", L"", L"short num", nullptr},
    {L"ICoDocRepoAuths", 6, L"item", M, L"", L"[in] long i", L"ICoDocRepoAuth* cra", nullptr},
    {L"ICoDocRepoAuths", 7, L"Add", M, L"", L"[in] ICoDocRepoAuth* Icdra", L"", nullptr},
    {L"ICoDocRepoAuths", 8, L"Clear", M, L"", L"", L"", nullptr},
    {L"ICoDocRepoAuths", 9, L"SelectForUser", M, L"", L"[in] long UserId", L"", nullptr},
    {L"ICoDocRepoAuths", 10, L"ItemByKey", M, L"", L"[in] BSTR Key", L"ICoDocRepoAuth* cra",
     nullptr},
    {L"ICoDocRepoAuths", 11, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, BSTR token", L"long ret", nullptr},

    {L"ICoDoc", 8, L"Id", P, L"long", L"", L"", nullptr},
    {L"ICoDoc", 9, L"DocRepoId", P, L"long", L"", L"", nullptr},
    {L"ICoDoc", 10, L"FileName", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 11, L"Ext", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 12, L"CurrentVersion", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 13, L"State", P, L"short", L"", L"", nullptr},
    {L"ICoDoc", 14, L"CheckOutById", P, L"short", L"", L"", nullptr},
    {L"ICoDoc", 15, L"CheckOutByName", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 16, L"CreById", P, L"short", L"", L"", nullptr},
    {L"ICoDoc", 17, L"CreByName", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 19, L"LstUptById", P, L"short", L"", L"", nullptr},
    {L"ICoDoc", 20, L"LstUptByName", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 22, L"PhyUrl", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 23, L"setForDoc", M, L"", L"[in] long Id", L"", nullptr},
    {L"ICoDoc", 24, L"CheckOut", M, L"", L"[in] BSTR LocalDir", L"long ret", nullptr},
    {L"ICoDoc", 25, L"ReName", M, L"", L"[in] BSTR NewName", L"long ret", nullptr},
    {L"ICoDoc", 26, L"CheckIn", M, L"", L"[in] BSTR LocalDir", L"long ret", nullptr},
    {L"ICoDoc", 27, L"Delete", M, L"", L"", L"long ret", nullptr},
    {L"ICoDoc", 28, L"Add", M, L"", L"[in] BSTR LocalDir", L"long ret", nullptr},
    {L"ICoDoc", 29, L"GetHistory", M, L"", L"[in] BSTR VersionStr, [in] BSTR LocalDir", L"long ret",
     nullptr},
    {L"ICoDoc", 30, L"View", M, L"", L"[in] BSTR LocalDor", L"long ret", nullptr},
    {L"ICoDoc", 31, L"CreTime", P, L"DATE", L"", L"", nullptr},
    {L"ICoDoc", 32, L"LstUptTime", P, L"DATE", L"", L"", nullptr},
    {L"ICoDoc", 33, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, [in] BSTR token", L"long ret", nullptr},
    {L"ICoDoc", 34, L"CaxDocType", P, L"long", L"", L"", nullptr},
    {L"ICoDoc", 35, L"GetRevision", M, L"", L"", L"long revision", nullptr},
    {L"ICoDoc", 36, L"ModifyInfo", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDoc", 37, L"CheckInWithForm", M, L"", L"[in] BSTR LocalDir, [in] BSTR rcid", L"long ret",
     nullptr},

    {L"ICoDocs", 1, L"GetAll", M, L"", L"short DocRepoId, short BaseLineId", L"long ret", nullptr},
    {L"ICoDocs", 2, L"Count", M, L"", L"", L"long num", nullptr},
    {L"ICoDocs", 3, L"item", M, L"", L"[in] long i", L"ICoDoc* icd", nullptr},
    {L"ICoDocs", 4, L"Clear", M, L"", L"", L"", nullptr},
    {L"ICoDocs", 5, L"ItemByKey", M, L"", L"[in] BSTR Key", L"ICoDoc* cod", L"method itemByKey"},
    {L"ICoDocs", 6, L"RemoveByKey", M, L"", L"[in] BSTR Key", L"", nullptr},
    {L"ICoDocs", 7, L"Add", M, L"", L"[in] ICoDoc* icd", L"", nullptr},
    {L"ICoDocs", 8, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, [in] BSTR token", L"long ret", nullptr},

    {L"ICoBaseLine", 1, L"Id", P, L"short", L"", L"", nullptr},
    {L"ICoBaseLine", 2, L"BaseLine", P, L"short", L"", L"", nullptr},
    {L"ICoBaseLine", 3, L"name", P, L"BSTR", L"", L"", L"property Name"},
    {L"ICoBaseLine", 4, L"desc", P, L"BSTR", L"", L"", L"property Desc"},
    {L"ICoBaseLine", 8, L"Delete", M, L"", L"", L"", nullptr},
    {L"ICoBaseLine", 9, L"DocRepoId", P, L"long", L"", L"", nullptr},
    {L"ICoBaseLine", 10, L"Create", M, L"", L"", L"long ret", nullptr},
    {L"ICoBaseLine", 11, L"DownLoad", M, L"", L"[in] BSTR LocalDir", L"long ret", nullptr},
    {L"ICoBaseLine", 12, L"createdTime", P, L"DATE", L"", L"", L"property CreatedTime"},
    {L"ICoBaseLine", 13, L"connect", M, L"",
     L"[in] BSTR qvSerrver, long Port, BSTR db, [in] BSTR token", L"long ret", L"method Connect"},

    {L"ICoBaseLines", 1, L"GetAll", M, L"", L"[in] short DocRepoId", L"", nullptr},
    {L"ICoBaseLines", 2, L"Count", M, L"", L"", L"long num", nullptr},
    {L"ICoBaseLines", 3, L"item", M, L"", L"[in] long i", L"ICoBaseLine* pibl", nullptr},
    {L"ICoBaseLines", 4, L"Clear", M, L"", L"", L"", nullptr},
    {L"ICoBaseLines", 5, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, [in] BSTR token", L"long ret", nullptr},

    {L"ICoDocHistory", 1, L"Id", P, L"long", L"", L"", nullptr},
    {L"ICoDocHistory", 2, L"DocId", P, L"long", L"", L"", nullptr},
    {L"ICoDocHistory", 3, L"BaseLineId", P, L"long", L"", L"", nullptr},
    {L"ICoDocHistory", 4, L"HisDocName", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocHistory", 5, L"OperatorId", P, L"long", L"", L"", nullptr},
    {L"ICoDocHistory", 6, L"m_OperatorName", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocHistory", 8, L"OperateInfo", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocHistory", 9, L"Action", P, L"long", L"", L"", nullptr},
    {L"ICoDocHistory", 10, L"PhyUrl", P, L"BSTR", L"", L"", nullptr},
    {L"ICoDocHistory", 11, L"Version_Main", P, L"long", L"", L"", nullptr},
    {L"ICoDocHistory", 12, L"Version_Sub", P, L"long", L"", L"", nullptr},
    {L"ICoDocHistory", 13, L"ReVersion", P, L"long", L"", L"", L"property Version"},
    {L"ICoDocHistory", 14, L"OperatorTime", P, L"DATE", L"", L"", nullptr},
    {L"ICoDocHistory", 15, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, [in] BSTR token", L"long ret", nullptr},

    {L"ICoDocHistorys", 1, L"GetAll", M, L"", L"[in] long DocId, [in] long BaseLineId", L"",
     nullptr},
    {L"ICoDocHistorys", 2, L"item", M, L"", L"[in] long num", L"ICoDocHistory* icdh", nullptr},
    {L"ICoDocHistorys", 3, L"Count", M, L"", L"", L"long num", nullptr},
    {L"ICoDocHistorys", 4, L"connect", M, L"",
     L"[in] BSTR qvServer, [in] long Port, [in] BSTR db, [in] BSTR token", L"long ret", nullptr},
};

}  // namespace zub::vaultauto::test
