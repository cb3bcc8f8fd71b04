#include "wizard/folder_check.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

FolderCheck::FolderCheck(const QString& text, unsigned long long needed) : needed_(needed) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || !QDir::isAbsolutePath(trimmed)) return;
    path_ = QDir::cleanPath(trimmed);
    QString p = path_;
    while (!QFileInfo::exists(p)) {
        const QString up = QFileInfo(p).path();
        if (up == p) break;
        p = up;
    }
    existing_ = p;
    if (!QFileInfo(existing_).isDir()) return;
    const QStorageInfo storage(existing_);
    if (storage.isValid()) free_ = static_cast<unsigned long long>(storage.bytesAvailable());
}

FolderCheck::Verdict FolderCheck::Judge() const {
    if (path_.isEmpty()) return Verdict::NotAbsolute;
    if (!QFileInfo(existing_).isDir()) return Verdict::NotFolder;
    // Permission bits say nothing to root or about a read-only mount: try it.
    {
        const QTemporaryDir probe(existing_ + QStringLiteral("/.kitsetup-probe-XXXXXX"));
        if (!probe.isValid()) return Verdict::NotWritable;
    }
    if (free_ && *free_ < needed_) return Verdict::NoSpace;
    return Verdict::Ok;
}

QString FolderCheck::Explain(Verdict verdict) const {
    switch (verdict) {
        case Verdict::Ok:
            break;
        case Verdict::NotAbsolute:
            return Str(kTextNotAbsolute);
        case Verdict::NotFolder:
            return StrF(kTextNotFolder, W(path_), W(existing_));
        case Verdict::NotWritable:
            return StrF(kTextNotWritable, W(path_), W(existing_));
        case Verdict::NoSpace:
            return StrF(kTextNoSpace, W(path_), W(SizeText(needed_)),
                        W(SizeText(free_.value_or(0))));
    }
    return {};
}

QString FolderCheck::SpaceLine() const {
    if (!free_) return StrF(kTextSpaceUnknown, W(SizeText(needed_)));
    return StrF(kTextSpace, W(SizeText(needed_)), W(SizeText(*free_)));
}

}  // namespace zub::kitsetup
