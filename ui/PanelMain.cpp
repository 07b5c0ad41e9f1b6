#include "ui/PanelMain.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "platform/PlatformServices.h"
#include "ui/MainWindow.h"

namespace amppanel {

int RunPanel(int& argc, char** argv, const BuildProfile& profile,
             const std::function<std::unique_ptr<Link>()>& makeLink,
             const std::function<std::unique_ptr<ConnectionDialog>(MainWindow&)>& makeDialog) {
  QApplication app(argc, argv);
  const QString name = QString::fromUtf8(profile.programName.data(),
                                         static_cast<qsizetype>(profile.programName.size()));
  QApplication::setApplicationName(name);

  const std::unique_ptr<SingleInstance> instance = MakeSingleInstance(profile);
  if (!instance->Acquire()) {
    instance->BringFirstToFront();
    return 0;
  }
  try {
    // Queued before the windows exist; it runs once the event loop does.
    instance->PostAutoOpen();
    auto* form = new MainWindow(profile, makeLink(), RealClock(), MakeSettingsStore(profile));
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
