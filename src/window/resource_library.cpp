#include "window/resource_library.h"

#include <QFileInfo>
#include <QResource>

#include "config/ui_language.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

const QString kVersionPath = QStringLiteral(":/rll/version");

}  // namespace

CResourceLibrary::~CResourceLibrary() {
    Unload();
}

bool CResourceLibrary::Load(const std::string& folder, const std::string& programVersion) {
    Unload();
    message_.clear();
    const QString path = LocalText(folder + kResourceLibraryName);
    const bool found = QFileInfo(path).isFile();
    // The version is inside the file, so the file is registered to read it
    // and given up again when it does not match. A file that is no resource
    // file carries no version.
    const bool readable = found && QResource::registerResource(path);
    const std::string version = readable ? RegisteredVersion() : std::string();
    const ResourceLibraryDecision decision = DecideResourceLibrary(found, version, programVersion);
    if (readable && !decision.use) QResource::unregisterResource(path);
    if (decision.use) registered_ = path;
    message_ = decision.message;
    return decision.use;
}

void CResourceLibrary::Unload() {
    if (registered_.isEmpty()) return;
    QResource::unregisterResource(registered_);
    registered_.clear();
}

QString CResourceLibrary::TranslationsFolder() const {
    return InUse() ? QStringLiteral(":/rll/i18n/") : QStringLiteral(":/i18n/");
}

std::string CResourceLibrary::RegisteredVersion() {
    const QResource version(kVersionPath);
    if (!version.isValid()) return {};
    // The version is the file's first line; a line end written by an
    // editor is no part of it.
    QByteArray text = version.uncompressedData();
    const qsizetype end = text.indexOf('\n');
    if (end >= 0) text.truncate(end);
    if (text.endsWith('\r')) text.chop(1);
    return text.toStdString();
}

}  // namespace qelvor
