// The library's own error numbers and texts.
#pragma once

namespace DRM::Err {

inline constexpr int kNotInitialised = -1;
inline constexpr const wchar_t* kNotInitialisedText = L"连接未初始化";
inline constexpr const wchar_t* kSysIdText = L"生成编号失败，系统编号 %i 未定义。";
inline constexpr int kDocMissing = 49501;
inline constexpr const wchar_t* kDocMissingText = L"文档号 %i 不存在";
inline constexpr int kNotConnected = 49600;
inline constexpr const wchar_t* kNotConnectedText = L"远程数据库未连接";
inline constexpr int kBaselineEmpty = 49601;
inline constexpr const wchar_t* kBaselineEmptyText = L"数据表 QV_DMBaseline 为空";
inline constexpr int kDocIdMissing = 49602;
inline constexpr const wchar_t* kDocIdMissingText = L"文档Id不存在";
inline constexpr int kNoHistory = 49603;
inline constexpr const wchar_t* kNoHistoryText = L"文档还没有历史版本";
inline constexpr int kUserOrDocTable = 49604;
inline constexpr const wchar_t* kUserIdInvalidText = L"userId 无效";
inline constexpr const wchar_t* kDocTableEmptyText = L"数据表 QV_DMDoc 为空";
inline constexpr int kNextVersionStrategy = 49605;
inline constexpr int kInitVersionStrategy = 49606;
inline constexpr const wchar_t* kStrategyEmptyText = L"表 QV_DMVerStrategy 为空";
inline constexpr int kIdInvalid = 49607;
inline constexpr const wchar_t* kDocIdInvalidText = L"DocId 无效";
inline constexpr const wchar_t* kDocRepoIdInvalidText = L"DocRepoId 无效";
inline constexpr int kNoMatch = 49608;
inline constexpr const wchar_t* kNoMatchText = L"条件无效";
inline constexpr int kRepoMissing = 49609;
inline constexpr const wchar_t* kRepoMissingText = L"DocRepoId  无效";  // two blanks

}  // namespace DRM::Err
