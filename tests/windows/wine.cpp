// Wine for the Windows tests: a prefix of the test program's own, and Windows programs started in it.
#include "wine.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace e2e {

const char kWine[] = "/usr/lib/wine/wine64";
const char kWineServer[] = "/usr/lib/wine/wineserver64";
std::string WineTest::prefix;
std::string WineTest::missing;
// No installers for .NET and the web browser engine, which the game does not use; and no menu entries on
// this machine's desktop, which Wine would make for Windows shortcuts (winemenubuilder).
static const char kOverrides[] = "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=";

int Shell(const std::string &command) { return std::system(command.c_str()); }

void WineTest::SetUpPrefix(const std::string &where) {
  prefix = where;
  if (!std::filesystem::exists(kWine)) {
    missing =
        std::string("no ") + kWine + ": tools/install-deps windows installs Wine where the release has it";
    return;
  }
  if (!std::filesystem::exists(prefix + "/system.reg") &&
      Shell("env -u DISPLAY WINEPREFIX='" + prefix + "' WINEDEBUG=-all " + kOverrides + " " + kWine +
            " wineboot -i >/dev/null 2>&1 && WINEPREFIX='" + prefix + "' " + kWineServer + " -w") != 0)
    missing = "a Wine prefix (wineboot -i failed)";
}

void WineTest::SetUp() {
  if (!missing.empty()) GTEST_SKIP() << "skipped: " << missing;
  E2eTest::SetUp();
  // Full HD, as most players have: the window stays 350x300, and message boxes open apart from it.
  UseScreen(1920, 1080);
}

void WineTest::TearDown() {
  E2eTest::TearDown();
  if (missing.empty()) Shell("WINEPREFIX='" + prefix + "' " + kWineServer + " -k >/dev/null 2>&1");
}

std::vector<std::string> WineTest::WineEnvironment(const std::string &debug,
                                                   const std::vector<std::string> &extra) {
  std::vector<std::string> env = {"env",
                                  "WINEPREFIX=" + prefix,
                                  std::string("WINELOADER=") + kWine,
                                  std::string("WINESERVER=") + kWineServer,
                                  "WINEDEBUG=" + debug,
                                  kOverrides};
  env.insert(env.end(), extra.begin(), extra.end());
  env.push_back(kWine);
  return env;
}

Game &WineTest::StartExe(const std::string &cwd, const std::string &folder, const std::string &debug,
                         const std::vector<std::string> &extra) {
  std::vector<std::string> environment = {"GLIMTRA_UNPACED_FPS=1000000"};
  environment.insert(environment.end(), extra.begin(), extra.end());
  return Start(cwd, WineEnvironment(debug, environment), folder + "/glimtra.exe");
}

void WineTest::Focus(Game &game) {
  usleep(2500000);
  MovePointer(x->dpy(), game.win(), kBackground.x, kBackground.y);
  SetButton(x->dpy(), 1, true);
  SetButton(x->dpy(), 1, false);
  usleep(500000);
}

}  // namespace e2e
