#include "ui/PanelCommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <array>

#include "core/BuildProfile.h"

namespace amppanel {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The options QGuiApplication and QApplication take from the command line
// themselves; a program that refused them would break a user's -style or a
// test's -platform.
struct ToolkitOption {
  const char* name;
  bool hasValue;
};
constexpr std::array kToolkitOptions{
    ToolkitOption{"platform", true},      ToolkitOption{"platformpluginpath", true},
    ToolkitOption{"platformtheme", true}, ToolkitOption{"plugin", true},
    ToolkitOption{"qmljsdebugger", true}, ToolkitOption{"qwindowgeometry", true},
    ToolkitOption{"qwindowicon", true},   ToolkitOption{"qwindowtitle", true},
    ToolkitOption{"session", true},       ToolkitOption{"display", true},
    ToolkitOption{"geometry", true},      ToolkitOption{"name", true},
    ToolkitOption{"title", true},         ToolkitOption{"visual", true},
    ToolkitOption{"style", true},         ToolkitOption{"stylesheet", true},
    ToolkitOption{"reverse", false},      ToolkitOption{"widgetcount", false},
    ToolkitOption{"nograb", false},       ToolkitOption{"dograb", false},
    ToolkitOption{"sync", false},
};

std::string Std(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace

PanelCommand ReadPanelCommandLine(const BuildProfile& profile, const QStringList& arguments,
                                  bool settingsFileOption) {
  const QString name = Text(profile.programName);
  QCommandLineParser parser;
  // -platform is one option, not -p -l -a ...: the toolkit's spelling.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      profile.link == LinkKind::kSerial
          ? QStringLiteral("Remote front panel for the KALDOR R40-XT linear amplifier, linked by "
                           "a serial port.")
          : QStringLiteral("Remote front panel for the KALDOR R40-XT linear amplifier, linked by "
                           "its FTDI USB interface."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this text and exit."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Show the version and exit."));
  const QCommandLineOption settings(
      QStringLiteral("settings"),
      QStringLiteral("Keep the settings in FILE instead of the usual file (another operator's "
                     "profile, say). FILE is made when the program ends."),
      QStringLiteral("FILE"));
  parser.addOption(help);
  parser.addOption(version);
  if (settingsFileOption) parser.addOption(settings);
  for (const ToolkitOption& o : kToolkitOptions) {
    QCommandLineOption option(QString::fromLatin1(o.name), QString(),
                              o.hasValue ? QStringLiteral("value") : QString());
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  PanelCommand command;
  const auto error = [&command](const QString& text) {
    command.kind = PanelCommand::Kind::kError;
    command.text = Std(text);
    return command;
  };
  if (!parser.parse(arguments)) return error(parser.errorText());
  if (parser.isSet(help)) {
    QString text = parser.helpText();
    // The parser knows the program's name only from a running application.
    text.replace(QStringLiteral("<executable_name>"), name);
    command.kind = PanelCommand::Kind::kHelp;
    command.text = Std(text);
    return command;
  }
  if (parser.isSet(version)) {
    command.kind = PanelCommand::Kind::kVersion;
    command.text = Std(name + QStringLiteral(" ") + QStringLiteral(AMPPANEL_VERSION) + '\n');
    return command;
  }
  if (!parser.positionalArguments().isEmpty()) {
    return error(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]));
  }
  if (settingsFileOption && parser.isSet(settings)) {
    const QStringList values = parser.values(settings);
    if (values.size() > 1) return error(QStringLiteral("--settings is given more than once."));
    const QString file = values.front();
    if (file.isEmpty()) return error(QStringLiteral("--settings needs a file name."));
    const QFileInfo info(file);
    // Refused now rather than found out when the settings are saved at the
    // end, when the operator's choices would be lost.
    if (info.isDir()) return error(QStringLiteral("--settings: '%1' is a folder.").arg(file));
    if (info.exists() && !info.isReadable()) {
      return error(QStringLiteral("--settings: '%1' cannot be read.").arg(file));
    }
    command.settingsFile = Std(info.absoluteFilePath());
  }
  return command;
}

}  // namespace amppanel
