// The panel programs' command line: the parser itself, then the built programs
// as a user without a display runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

#include "core/BuildProfile.h"
#include "ui/PanelCommandLine.h"

namespace amppanel {
namespace {

using Kind = PanelCommand::Kind;

PanelCommand Read(QStringList arguments, bool settingsOption = true,
                  const BuildProfile& profile = SerialProfile()) {
  arguments.prepend(QStringLiteral("/usr/bin/AmpPanel_232"));
  return ReadPanelCommandLine(profile, arguments, settingsOption);
}

TEST(PanelCommandLine, TheToolkitsOwnOptionsAreLeftToIt) {
  const PanelCommand c = Read({"-platform", "offscreen", "-style=fusion", "-reverse", "-display",
                               ":1", "-qwindowgeometry", "100x100+0+0"});
  EXPECT_EQ(c.kind, Kind::kRun) << c.text;
  EXPECT_EQ(c.settingsFile, "");
}

TEST(PanelCommandLine, HelpNamesTheProgramAndOnlyItsOwnOptions) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    const PanelCommand c = Read({"--help"}, true, *profile);
    ASSERT_EQ(c.kind, Kind::kHelp);
    EXPECT_NE(c.text.find("Usage: " + std::string(profile->programName)), std::string::npos)
        << c.text;
    EXPECT_NE(c.text.find("--settings <FILE>"), std::string::npos);
    EXPECT_NE(c.text.find("--version"), std::string::npos);
    EXPECT_EQ(c.text.find("platform"), std::string::npos) << "the toolkit's options stay hidden";
  }
  EXPECT_EQ(Read({"-h"}).kind, Kind::kHelp);
  EXPECT_EQ(Read({"--help"}, false).text.find("--settings"), std::string::npos);
  const PanelCommand version = Read({"--version"}, true, UsbProfile());
  EXPECT_EQ(version.kind, Kind::kVersion);
  EXPECT_EQ(version.text, "AmpPanel_USB " AMPPANEL_VERSION "\n");
}

TEST(PanelCommandLine, WrongArgumentsAreErrorsWithTheirReason) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  struct Case {
    QStringList arguments;
    bool settingsOption;
    std::string reason;
  };
  const Case cases[] = {
      {{"--bogus"}, true, "Unknown option 'bogus'"},
      {{"COM3"}, true, "Unexpected argument 'COM3'"},
      {{"--settings"}, true, "Missing value after '--settings'"},
      {{"--settings="}, true, "needs a file name"},
      {{"--settings", dir.path()}, true, "is a folder"},
      {{"--settings", "a.conf", "--settings", "b.conf"}, true, "more than once"},
      // Where the settings are no file (the registry), there is no such option.
      {{"--settings", "a.conf"}, false, "Unknown option 'settings'"},
  };
  for (const Case& c : cases) {
    const PanelCommand command = Read(c.arguments, c.settingsOption);
    EXPECT_EQ(command.kind, Kind::kError) << c.reason;
    EXPECT_NE(command.text.find(c.reason), std::string::npos) << command.text;
  }
}

TEST(PanelCommandLine, ASettingsFileIsKeptAsAnAbsolutePath) {
  const PanelCommand c = Read({"--settings", "profiles/second.conf"});
  ASSERT_EQ(c.kind, Kind::kRun) << c.text;
  EXPECT_EQ(c.settingsFile, QDir::current().absoluteFilePath("profiles/second.conf").toStdString());
  EXPECT_EQ(Read({"--settings=/tmp/x.conf"}).settingsFile, "/tmp/x.conf");
}

// The built programs, started as from a terminal with no display at all: the
// answer comes without a window, and nothing is left in the user's folders
// (no settings file, no single-instance lock).
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

QStringList FilesUnder(const QString& folder) {
  QStringList files;
  QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next();
  return files;
}

class ProgramWithoutDisplay : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    ASSERT_TRUE(output_.isValid());
    for (const char* sub : {"config", "runtime", "cache"})
      ASSERT_TRUE(QDir(home_.path()).mkdir(sub));
  }
  Outcome Start(const std::string& arguments) {
    const std::string h = home_.path().toStdString();
    const std::string o = output_.path().toStdString();
    // env -i: no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM.
    const std::string command = "env -i PATH=/usr/bin:/bin HOME=" + h + " XDG_CONFIG_HOME=" + h +
                                "/config XDG_RUNTIME_DIR=" + h + "/runtime XDG_CACHE_HOME=" + h +
                                "/cache TMPDIR=" + h + " " + GetParam() + " " + arguments + " >" +
                                o + "/out 2>" + o + "/err";
    Outcome r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadAll(output_.filePath("out"));
    r.err = ReadAll(output_.filePath("err"));
    return r;
  }
  // Only the three empty folders this test made.
  QStringList Left() const {
    QStringList left = FilesUnder(home_.path());
    for (const char* sub : {"config", "runtime", "cache"}) left.removeAll(home_.filePath(sub));
    return left;
  }

  QTemporaryDir home_;
  QTemporaryDir output_;
};

TEST_P(ProgramWithoutDisplay, AnswersHelpAndVersionAndRefusesWrongArguments) {
  const std::string name = QFileInfo(GetParam()).fileName().toStdString();

  const Outcome help = Start("--help");
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_NE(help.out.find("Usage: " + name), std::string::npos) << help.out;
  EXPECT_EQ(help.err, "");

  const Outcome version = Start("--version");
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, name + " " AMPPANEL_VERSION "\n");

  const Outcome wrong = Start("--settings");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_NE(wrong.err.find(name + ": Missing value after '--settings'"), std::string::npos)
      << wrong.err;
  EXPECT_NE(wrong.err.find("--help"), std::string::npos) << wrong.err;

  EXPECT_EQ(Start("--no-such-option").status, 2);
  EXPECT_TRUE(Left().isEmpty()) << Left().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ProgramWithoutDisplay,
                         ::testing::Values(AMPPANEL_232_PROGRAM, AMPPANEL_USB_PROGRAM));

}  // namespace
}  // namespace amppanel
