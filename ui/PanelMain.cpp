#include "ui/PanelMain.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "platform/PlatformServices.h"
#include "ui/AppIcon.h"
#include "ui/MainWindow.h"
#include "ui/PanelCommandLine.h"

namespace amppanel {

int RunPanel(int& argc, char** argv, const BuildProfile& profile,
             const std::function<std::unique_ptr<Link>()>& makeLink,
             const std::function<std::unique_ptr<ConnectionDialog>(MainWindow&)>& makeDialog) {
  const QString name = QString::fromUtf8(profile.programName.data(),
                                         static_cast<qsizetype>(profile.programName.size()));
  // Before QApplication, which needs a display and would end the program
  // without one.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const PanelCommand command = ReadPanelCommandLine(profile, arguments, SettingsFileSelectable());
  switch (command.kind) {
    case PanelCommand::Kind::kHelp:
    case PanelCommand::Kind::kVersion:
      std::fputs(command.text.c_str(), stdout);
      return 0;
    case PanelCommand::Kind::kError:
      std::fprintf(stderr, "%s: %s\nTry '%s --help' for the options.\n",
                   name.toLocal8Bit().constData(), command.text.c_str(),
                   name.toLocal8Bit().constData());
      return kExitUsage;
    case PanelCommand::Kind::kRun:
      break;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(name);
  QApplication::setWindowIcon(AppIcon());
  // Wayland names the window after this, and finds the icon through it.
  QGuiApplication::setDesktopFileName(QStringLiteral("net.norvik.") + name);

  const std::unique_ptr<SingleInstance> instance = MakeSingleInstance(profile);
  if (!instance->Acquire()) {
    instance->BringFirstToFront();
    return 0;
  }
  try {
    // Queued before the windows exist; it runs once the event loop does.
    instance->PostAutoOpen();
    auto* form = new MainWindow(profile, makeLink(), RealClock(),
                                MakeSettingsStore(profile, command.settingsFile));
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (makeDialog) form->SetConnectionDialog(makeDialog(*form));
    SingleInstance* guard = instance.get();
    form->SetAutoConfigPoster([guard] { guard->PostAutoConfig(); });
    guard->Listen({
        .bringToFront = [form] { form->BringToFront(); },
        .autoOpen = [form] { form->Connect(); },
        .autoConfig = [form] { form->ConfigureConnection(); },
    });
    // The hand-over ends with the window: nothing may reach a destroyed form.
    QObject::connect(form, &QObject::destroyed, &app, [guard] { guard->Listen({}); });
    form->show();
    app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, name, QString::fromLocal8Bit(e.what()));
  }
  instance->Release();
  return 0;
}

}  // namespace amppanel
