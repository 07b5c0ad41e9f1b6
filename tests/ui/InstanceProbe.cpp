// A stand-in for a program copy in the single-instance tests: takes the
// instance of the given build in the given folder and reports on stdout.
//   InstanceProbe 232|USB FOLDER
// First copy: prints "first", then "front" for each bring-to-front request,
// and ends when its standard input closes. Second copy: prints "second ok" or
// "second failed" and ends.
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <cstdio>

#include "core/BuildProfile.h"
#include "platform/LocalSingleInstance.h"

using namespace amppanel;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  const BuildProfile& profile = QString(argv[1]) == "USB" ? UsbProfile() : SerialProfile();
  LocalSingleInstance instance(profile, QString::fromLocal8Bit(argv[2]));
  const auto say = [](const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
  };
  if (!instance.Acquire()) {
    say(instance.BringFirstToFront() ? "second ok" : "second failed");
    return 0;
  }
  instance.Listen({.bringToFront = [&] { say("front"); }});
  say("first");
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char c;
    if (::read(STDIN_FILENO, &c, 1) <= 0) app.quit();
  });
  app.exec();
  return 0;
}
