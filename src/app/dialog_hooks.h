#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QSettings;
class QWidget;

namespace krelt {

// The dialog's ways out to the desktop. Tests replace them so that nothing
// blocks and every call can be checked.
struct DialogHooks {
  // Runs the open-file dialog; the chosen path, or nothing when cancelled.
  std::function<std::optional<QString>(QWidget* parent,
                                       const QString& initialName,
                                       const QStringList& nameFilters)>
      chooseFile;
  // The PATH value of group KRELT in the user's profile, "" when missing.
  std::function<QString()> readProfilePath;
  // Hands a file to the desktop's "open" action.
  std::function<void(const QString& path)> openFile;
  // Shows a modal message with an OK button and waits for it.
  std::function<void(QWidget* parent, const QString& text,
                     const QString& caption)>
      showMessage;
};

// The hooks backed by Qt: file dialog, INI profile, QDesktopServices and
// QMessageBox.
DialogHooks DesktopDialogHooks();

// Qt's own file dialog rather than the platform's, because its name filters
// match any letter case ("*.PCX" lists logo.pcx too). The first filter is
// active and initialName is preselected.
std::unique_ptr<QFileDialog> CreateSourceFileDialog(
    QWidget* parent, const QString& initialName,
    const QStringList& nameFilters);

// The PATH value of group KRELT, "" when missing. Read only: the profile is
// never written.
QString ReadProfilePath(const QSettings& profile);

}  // namespace krelt
