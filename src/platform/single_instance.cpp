#include "platform/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>

namespace wingstow::platform {

SingleInstance::SingleInstance(std::string_view name, std::string folder) {
  QString where = folder.empty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                 : QFile::decodeName(QByteArray::fromStdString(folder));
  QDir().mkpath(where);
  lock_ = std::make_unique<QLockFile>(
      where + u'/' + QFile::decodeName(QByteArray(name.data(), qsizetype(name.size()))) +
      QStringLiteral(".lock"));
  // Never stale by age: only a lock whose process is gone is taken over.
  lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() { return lock_->isLocked() || lock_->tryLock(0); }

}  // namespace wingstow::platform
