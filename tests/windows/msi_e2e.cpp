// The Windows Installer package as a school's IT uses it: installed, upgraded and removed with msiexec under
// Wine, in a fresh prefix, and the installed game played.
#include <X11/keysym.h>
#include <sys/wait.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>

#include "wine.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

// The two packages installed one over the other: make windows's, and one of the next version made by the
// same tool from its zip's files; or two releases' packages, which GLIMTRA_MSI and GLIMTRA_NEWER_MSI name
// (each with its zip beside it), as a school's computers go from one release to the next.
std::string Given(const char *name, const std::string &otherwise) {
  const char *value = getenv(name);
  return value && *value ? value : otherwise;
}
const bool kReleases = !Given("GLIMTRA_NEWER_MSI", "").empty();
// Glimtra-VERSION-win64.msi: its version, and the zip of the same files beside it.
std::string VersionOf(const std::string &msi) {
  const std::string name = fs::path(msi).filename().string();
  return name.substr(8, name.rfind("-win64") - 8);
}
std::string ZipOf(const std::string &msi) { return msi.substr(0, msi.size() - 4) + ".zip"; }
const std::string kWork = std::string(kWindowsBuild) + "/msi";
const std::string kFirstMsi = Given("GLIMTRA_MSI", kMsi);
const std::string kFirstZip = kReleases ? ZipOf(kFirstMsi) : kZip;
const std::string kFirstVersion = VersionOf(kFirstMsi);
const std::string kZipFolder = kWork + "/zip/" + fs::path(kFirstZip).stem().string();
const std::string kNewerMsi =
    kReleases ? Given("GLIMTRA_NEWER_MSI", "") : kWork + "/Glimtra-" + kNewerVersion + "-win64.msi";
const std::string kNewerZipFolder =
    kReleases ? kWork + "/newer/" + fs::path(ZipOf(kNewerMsi)).stem().string() : kZipFolder;

std::string WindowsPath(std::string path) {
  for (char &c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

// A registry file of the prefix: each key's values by name, as Windows shows them (strings without quotes).
using Registry = std::map<std::string, std::map<std::string, std::string>>;
std::string Unescape(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) out += s[i] == '\\' && i + 1 < s.size() ? s[++i] : s[i];
  return out.size() > 1 && out.front() == '"' && out.back() == '"' ? out.substr(1, out.size() - 2) : out;
}
Registry ReadRegistry(const std::string &file) {
  Registry keys;
  std::istringstream in(ReadFile(file));
  std::string line, key;
  while (std::getline(in, line)) {
    const size_t eq = line.find("\"=");
    if (line.rfind('[', 0) == 0)
      keys[key = Unescape(line.substr(1, line.rfind(']') - 1))];
    else if (line.rfind('"', 0) == 0 && eq != std::string::npos)
      keys[key][Unescape(line.substr(0, eq + 1))] = Unescape(line.substr(eq + 2));
  }
  return keys;
}

// Every file and folder under `folder`, with the files' bytes when `bytes` is set.
std::map<std::string, std::string> Files(const std::string &folder, bool bytes = true) {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  for (const auto &e : fs::recursive_directory_iterator(folder, ignored))
    files[fs::relative(e.path(), folder).string()] = bytes && e.is_regular_file() ? ReadFile(e.path()) : "";
  return files;
}

// What the package has put on the computer.
struct Installed {
  std::map<std::string, std::string> files;    // under C:\Program Files\Glimtra
  std::map<std::string, std::string> entries;  // the installed apps named Glimtra: key, version
  std::string shortcut;                        // the Start menu's, its bytes
  bool operator==(const Installed &o) const {
    return files == o.files && entries == o.entries && shortcut == o.shortcut;
  }
};

const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class InstalledGame : public WineTest {
 protected:
  static void SetUpTestSuite() {
    E2eTest::SetUpTestSuite();
    if (!fs::exists(kFirstMsi) || !fs::exists(kFirstZip)) {
      missing = "no " + kFirstMsi + " and zip: make windows builds them";
      return;
    }
    // A prefix in which nothing was ever installed, and the package of a newer version, made by the same
    // tool from the same files (those of the zip).
    fs::remove_all(kWork);
    fs::create_directories(kWork + "/zip");
    fs::create_directories(kWork + "/newer");
    if (Shell("cd '" + kWork + "/zip' && cmake -E tar xf '" + kFirstZip + "'") != 0)
      missing = "the unpacked " + kFirstZip;
    else if (kReleases &&
             Shell("cd '" + kWork + "/newer' && cmake -E tar xf '" + ZipOf(kNewerMsi) + "'") != 0)
      missing = "the unpacked zip beside " + kNewerMsi;
    else if (!kReleases && Shell("SOURCE_DATE_EPOCH=0 '" + std::string(kMakeMsi) + "' '" + kZipFolder + "' " +
                                 kNewerVersion + " '" + kNewerMsi + "'") != 0)
      missing = "a package of version " + std::string(kNewerVersion);
    if (missing.empty()) SetUpPrefix(kWork + "/prefix");
  }

  // msiexec with `args` on this test's display, its output in `log`.
  Process StartMsiexec(const std::vector<std::string> &args, const std::string &debug = "-all") {
    Launch launch;
    launch.argv = WineEnvironment(debug);
    launch.argv.push_back("msiexec");
    launch.argv.insert(launch.argv.end(), args.begin(), args.end());
    launch.env = PlayerEnvironment(x->name());
    launch.output = log;
    return Spawn(launch);
  }
  // Its exit status once it has ended (Windows' status modulo 256), or -1.
  int Msiexec(const std::vector<std::string> &args) {
    int status = 0;
    return StartMsiexec(args).Wait(3 * kWineWait, &status) && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Wine keeps the registry in memory and writes it out when its server ends.
  Registry Flushed(const char *file) {
    Shell("WINEPREFIX='" + prefix + "' timeout 120 " + kWineServer + " -w");
    return ReadRegistry(prefix + file);
  }

  Installed Look() {
    Installed now;
    now.files = Files(prefix + "/drive_c/Program Files/Glimtra");
    for (const auto &[key, values] : Flushed("/system.reg"))
      if (key.rfind(kUninstall, 0) == 0 && values.count("DisplayName") &&
          values.at("DisplayName") == "Glimtra")
        now.entries[key] = values.count("DisplayVersion") ? values.at("DisplayVersion") : "";
    now.shortcut = ReadFile(Shortcut());
    return now;
  }

  // Windows puts the shortcut of a package installed per machine into the Start menu of all users
  // (C:\ProgramData\...); Wine's installer puts it into that of the user who installs, a known gap of
  // Wine's, and it is looked for there.
  std::string Shortcut() {
    std::error_code none;
    for (const auto &user : fs::directory_iterator(prefix + "/drive_c/users", none)) {
      const std::string lnk = user.path().string() + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs";
      if (fs::exists(lnk + "/Glimtra.lnk")) return lnk + "/Glimtra.lnk";
    }
    return "";
  }

  const std::string log = scratch.path() + "/msiexec.log";
};

TEST_F(InstalledGame, InstallsSilentlyPlaysReplacesTheOlderRefusesToGoBackAndUninstallsWithoutATrace) {
  const auto filesBefore = Files(prefix + "/drive_c", false);
  const Registry keysBefore = Flushed("/system.reg");

  // Silent, as Group Policy and Intune install it: the zip's files in Program Files, a shortcut, an entry.
  ASSERT_EQ(Msiexec({"/i", WindowsPath(kFirstMsi), "/qn"}), 0) << ReadFile(log);
  const Installed first = Look();
  EXPECT_TRUE(first.files == Files(kZipFolder)) << "C:\\Program Files\\Glimtra is not the zip's folder";
  ASSERT_EQ(first.entries.size(), 1u) << "not one entry in the installed apps";
  const Registry machine = ReadRegistry(prefix + "/system.reg");
  const auto &entry = machine.at(first.entries.begin()->first);
  EXPECT_EQ(entry.at("DisplayVersion"), kFirstVersion);
  EXPECT_EQ(entry.at("Publisher"), "The Glimtra developers");
  for (const char *address : {"URLInfoAbout", "URLUpdateInfo", "HelpLink", "HelpTelephone", "Contact"})
    EXPECT_EQ(entry.count(address) ? entry.at(address) : "", "") << "an address the project does not have";
  // The installed apps' icon: a copy Windows keeps of the package's, which is the game's icon.
  std::string icon;
  for (const auto &[key, values] : machine)
    if (key.rfind("Software\\Classes\\Installer\\Products\\", 0) == 0 && values.count("ProductIcon"))
      icon = values.at("ProductIcon");
  ASSERT_EQ(icon.rfind("C:\\", 0), 0u) << "no icon for the installed apps";
  for (char &c : icon.replace(0, 3, prefix + "/drive_c/"))
    if (c == '\\') c = '/';
  EXPECT_NE(ReadFile(icon).find(
                ReadFile(std::string(kRoot) + "/dist/icons/hicolor/48x48/apps/se.glimtra.Glimtra.png")),
            std::string::npos)
      << icon << " is not the game's icon";
  // The shortcut starts the installed exe in the install folder (the folder as UTF-16, as a shortcut keeps
  // it).
  const std::string folder = "C:\\Program Files\\Glimtra\\";
  std::string wide;
  for (char c : folder) wide += std::string(1, c) + '\0';
  EXPECT_NE(first.shortcut.find(folder + "glimtra.exe"), std::string::npos) << "no shortcut to the exe";
  EXPECT_NE(first.shortcut.find(wide), std::string::npos) << "the shortcut does not start in " << folder;

  // The installed game, started from another folder, as a command prompt may start it.
  Game &game = StartExe(scratch.path(), prefix + "/drive_c/Program Files/Glimtra");
  ASSERT_TRUE(game.Open(kWineWait)) << "no window with the idle scene: " << game.Output();
  const Image frame = game.Frame();
  Keep(frame, "startup");
  EXPECT_EQ(CountDifferences(frame, LoadBmp(std::string(kRoot) + "/tests/golden/startup.bmp")), 0)
      << "the start-up frame differs from tests/golden/startup.bmp";
  Focus(game);
  PlayARightAndAWrongRound(game);
  if (HasFatalFailure()) return;
  game.TapKey(XK_Escape);
  ASSERT_TRUE(game.Ends(0, kWineWait)) << "after Escape: " << game.Output();

  // A newer version over it: one entry, the newer one. It is another package, with a package code of its own
  // (Windows tells packages apart by it, Wine does not).
  EXPECT_EQ(Shell("test \"$(msiinfo suminfo '" + kFirstMsi + "' | grep Revision)\" != \"$(msiinfo suminfo '" +
                  kNewerMsi + "' | grep Revision)\""),
            0)
      << "one package code for two packages";
  ASSERT_EQ(Msiexec({"/i", WindowsPath(kNewerMsi), "/qn"}), 0) << ReadFile(log);
  const Installed newer = Look();
  ASSERT_EQ(newer.entries.size(), 1u) << "not one entry after the upgrade";
  EXPECT_EQ(newer.entries.begin()->second, VersionOf(kNewerMsi));
  EXPECT_TRUE(newer.files == Files(kNewerZipFolder))
      << "C:\\Program Files\\Glimtra is not the newer zip's folder";
  EXPECT_FALSE(newer.shortcut.empty()) << "no shortcut after the upgrade";

  // The older one over it is refused and changes nothing: silently with a failure status, and by hand with
  // a message in both languages, which Return dismisses.
  EXPECT_NE(Msiexec({"/i", WindowsPath(kFirstMsi), "/qn"}), 0) << "the older version was not refused";
  EXPECT_TRUE(Look() == newer) << "the refused older version changed the installation";
  Process byHand = StartMsiexec({"/i", WindowsPath(kFirstMsi)}, "-all,+win");
  // Wine's installer titles its message box so.
  const Window box = FindWindow(x->dpy(), "Install Failed", kWineWait);
  ASSERT_NE(box, 0u) << "no message box: " << ReadFile(log);
  // Wine's trace of the box's text being set, as the player reads it.
  for (const char *said :
       {"L\"En nyare version av Glimtra \\00e4r redan installerad", "A newer version of Glimtra"})
    EXPECT_NE(ReadFile(log).find(said), std::string::npos) << "the message does not say: " << said;
  // Return presses the box's one button, with the pointer over it, as a player's Enter does.
  MovePointer(x->dpy(), box, 10, 10);
  SetKey(x->dpy(), XK_Return, true);
  SetKey(x->dpy(), XK_Return, false);
  int status = 0;
  ASSERT_TRUE(byHand.Wait(kWineWait, &status)) << "msiexec did not end after Return";
  EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the older version was not refused by hand";
  EXPECT_TRUE(Look() == newer) << "the refused older version changed the installation";

  // Removed silently: no file, folder, shortcut or registry value of its own left. Windows Installer's own
  // folder and keys stay, empty of the game.
  ASSERT_EQ(Msiexec({"/x", WindowsPath(kNewerMsi), "/qn"}), 0) << ReadFile(log);
  auto filesAfter = Files(prefix + "/drive_c", false);
  std::error_code none;
  if (!filesBefore.count("windows/Installer") && fs::is_empty(prefix + "/drive_c/windows/Installer", none))
    filesAfter.erase("windows/Installer");
  for (const auto &[file, ignored] : filesAfter)
    EXPECT_TRUE(filesBefore.count(file)) << "left: drive_c/" << file;
  for (const auto &[key, values] : Flushed("/system.reg")) {
    bool code = key.find('{') != std::string::npos;
    for (size_t hex = 0, i = 0; i < key.size() && !code; ++i)
      code = (hex = isxdigit(key[i]) ? hex + 1 : 0) == 32;
    EXPECT_FALSE(!keysBefore.count(key) && code) << "left: the key " << key;
  }
  for (const char *file : {"/system.reg", "/user.reg"}) {
    std::string text = ReadFile(prefix + file);
    for (char &c : text) c = static_cast<char>(tolower(c));
    const size_t at = text.find("glimtra");
    EXPECT_EQ(at, std::string::npos) << "left in " << file << ": " << text.substr(text.rfind('[', at), 300);
  }
}

}  // namespace
}  // namespace e2e
