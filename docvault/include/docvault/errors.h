// The library's own error numbers and texts.
#pragma once

// Marks the texts for the library's catalog; they stay as written here.
#ifndef ZUB_N_
#define ZUB_N_(text) text
#endif

namespace DRM::Err {

inline constexpr int kNotInitialised = -1;
inline constexpr const wchar_t* kNotInitialisedText = ZUB_N_(L"连接未初始化");
inline constexpr const wchar_t* kSysIdText = ZUB_N_(L"生成编号失败，系统编号 %i 未定义。");
inline constexpr int kDocMissing = 49501;
inline constexpr const wchar_t* kDocMissingText = ZUB_N_(L"文档号 %i 不存在");
inline constexpr int kNotConnected = 49600;
inline constexpr const wchar_t* kNotConnectedText = ZUB_N_(L"远程数据库未连接");
inline constexpr int kBaselineEmpty = 49601;
inline constexpr const wchar_t* kBaselineEmptyText = ZUB_N_(L"数据表 QV_DMBaseline 为空");
inline constexpr int kDocIdMissing = 49602;
inline constexpr const wchar_t* kDocIdMissingText = ZUB_N_(L"文档Id不存在");
inline constexpr int kNoHistory = 49603;
inline constexpr const wchar_t* kNoHistoryText = ZUB_N_(L"文档还没有历史版本");
inline constexpr int kUserOrDocTable = 49604;
inline constexpr const wchar_t* kUserIdInvalidText = ZUB_N_(L"userId 无效");
inline constexpr const wchar_t* kDocTableEmptyText = ZUB_N_(L"数据表 QV_DMDoc 为空");
inline constexpr int kNextVersionStrategy = 49605;
inline constexpr int kInitVersionStrategy = 49606;
inline constexpr const wchar_t* kStrategyEmptyText = ZUB_N_(L"表 QV_DMVerStrategy 为空");
// The strategy row names a numbering scheme without a next version.
inline constexpr const wchar_t* kUnknownSchemeText = ZUB_N_(L"版本策略的编号方式无效");
inline constexpr int kIdInvalid = 49607;
inline constexpr const wchar_t* kDocIdInvalidText = ZUB_N_(L"DocId 无效");
inline constexpr const wchar_t* kDocRepoIdInvalidText = ZUB_N_(L"DocRepoId 无效");
inline constexpr int kNoMatch = 49608;
inline constexpr const wchar_t* kNoMatchText = ZUB_N_(L"条件无效");
inline constexpr int kRepoMissing = 49609;
inline constexpr const wchar_t* kRepoMissingText = ZUB_N_(L"DocRepoId  无效");  // two blanks
// A name or folder text that would not stay inside its folder on the server
// (empty, ".", "..", or holding a path separator).
inline constexpr int kInvalidName = 49610;
inline constexpr const wchar_t* kInvalidNameText = ZUB_N_(L"名称无效: \"%ls\"");
// Add of a document whose file is already kept in the same folder.
inline constexpr int kDocExists = 49611;
inline constexpr const wchar_t* kDocExistsText = ZUB_N_(L"文档 %ls 已存在");
// Check-out refused: another user holds the document (%ls: the holder's name).
inline constexpr int kHeldByOther = 49612;
inline constexpr const wchar_t* kHeldByOtherText = ZUB_N_(L"文档已被 %ls 检出");
// Check-in or unlock refused: the acting user does not hold the checked-out
// version (%ls: the acting user's name).
inline constexpr int kNotHolder = 49613;
inline constexpr const wchar_t* kNotHolderText = ZUB_N_(L"文档未被 %ls 检出");
// A file that a row names is not on the file server (%ls: its path).
inline constexpr int kFileMissing = 49614;
inline constexpr const wchar_t* kFileMissingText = ZUB_N_(L"文件 %ls 不存在");
// A repository, baseline or role name that is taken (%ls: the name).
inline constexpr int kNameTaken = 49615;
inline constexpr const wchar_t* kNameTakenText = ZUB_N_(L"名称 %ls 已被使用");
// Unlock refused: the acting user neither holds the document nor manages its
// repository.
inline constexpr int kNotAllowed = 49616;
inline constexpr const wchar_t* kNotAllowedText = ZUB_N_(L"用户无权解除文档的检出");

// A file-server root claimed by another store, or by this store at another
// place (a copy reaching the original's root by its absolute name); nothing
// is read or written there (%ls: where the root is, the owner's place).
inline constexpr int kForeignRoot = 49617;
inline constexpr const wchar_t* kForeignRootText = ZUB_N_(
    L"文件服务器根目录 %ls 属于另一个库 (%ls)，本库不在其中读写；用 vault repo repoint "
    "把文档库指回本库自己的根目录，有意移动库之后用 vault repo repoint --adopt 认领该根目录");
// Delete refused: the repository's tree is, holds or lies in another
// repository's (%ls: the tree, the other repository's name).
inline constexpr int kTreeShared = 49618;
inline constexpr const wchar_t* kTreeSharedText =
    ZUB_N_(L"目录 %ls 也是文档库 %ls 的文件夹，不能删除");
// Another process is still publishing the document's last change and did not
// finish within the wait.
inline constexpr int kBusy = 49630;
inline constexpr const wchar_t* kBusyText = ZUB_N_(L"文档正在被另一个操作修改，请稍后再试");
// Not an error: the change committed, but moving its files into place failed
// (%ls: why); the next operation on the document finishes it.
inline constexpr int kPublishPending = 49631;
inline constexpr const wchar_t* kPublishPendingText =
    ZUB_N_(L"更改已保存，但文件尚未就位，下一次操作会完成: %ls");
// The document row changed since this operation read it (another operation
// won); nothing was changed by this one.
inline constexpr int kChanged = 49632;
inline constexpr const wchar_t* kChangedText =
    ZUB_N_(L"文档 %i 已被另一个操作修改，请重新读取后再试");
// A check-in whose file has the content of the version it would replace;
// nothing was changed.
inline constexpr int kUnchanged = 49633;
inline constexpr const wchar_t* kUnchangedText = ZUB_N_(L"文件与当前版本 %ls 相同，未检入");

}  // namespace DRM::Err
