// AmpPanel_232: the remote front panel over a serial port.
#include <QApplication>
#include <QSettings>
#include <memory>

#include "app/MainForm.h"
#include "link/serial/SerialLink.h"

int main(int argc, char** argv) {
  using namespace amppanel;
  QApplication app(argc, argv);
  const BuildProfile& profile = SerialProfile();
  QApplication::setApplicationName(QString::fromUtf8(profile.programName.data()));

  auto* form = new TForm1(profile, std::make_unique<SerialLink>());
  form->setAttribute(Qt::WA_DeleteOnClose);
  QSettings store(QStringLiteral("Norvik"), QStringLiteral("AmpPanel_232"));
  bool ok = false;
  const int comPort = store.value(QStringLiteral("COM_ID")).toInt(&ok);
  form->Settings().comPort = ok ? comPort : 0;
  const int baudIndex = store.value(QStringLiteral("ComBaudRate")).toInt(&ok);
  form->Settings().baudIndex = ok ? baudIndex : kDefaultBaudIndex;

  // Every first copy starts connecting as soon as its event loop runs.
  QMetaObject::invokeMethod(
      form, [form] { form->actOpenExecute(); }, Qt::QueuedConnection);
  form->show();
  app.exec();
  return 0;
}
