#include "app/dialog_hooks.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

namespace krelt {
namespace {

std::optional<QString> ChooseFileWithDialog(QWidget* parent,
                                            const QString& initialName,
                                            const QStringList& nameFilters) {
  const auto dialog = CreateSourceFileDialog(parent, initialName, nameFilters);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog->selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.front();
}

QString ReadUserProfilePath() {
  // ~/.config/Krelt/krelt.ini on Linux.
  const QSettings profile(QSettings::IniFormat, QSettings::UserScope,
                          QStringLiteral("Krelt"), QStringLiteral("krelt"));
  return ReadProfilePath(profile);
}

void OpenWithDesktop(const QString& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void ShowMessageBox(QWidget* parent, const QString& text,
                    const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

DialogHooks DesktopDialogHooks() {
  return {ChooseFileWithDialog, ReadUserProfilePath, OpenWithDesktop,
          ShowMessageBox};
}

std::unique_ptr<QFileDialog> CreateSourceFileDialog(
    QWidget* parent, const QString& initialName,
    const QStringList& nameFilters) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setNameFilters(nameFilters);
  if (!nameFilters.isEmpty()) dialog->selectNameFilter(nameFilters.front());
  dialog->selectFile(initialName);
  return dialog;
}

QString ReadProfilePath(const QSettings& profile) {
  const QVariant value = profile.value(QStringLiteral("KRELT/PATH"));
  // An unquoted value with commas reads as a list; the path is the whole text.
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(QLatin1Char(','));
  }
  return value.toString();
}

}  // namespace krelt
