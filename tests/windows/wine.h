// Wine for the Windows tests: a prefix of the test program's own, and Windows programs started in it.
#ifndef GLIMTRA_TESTS_WINDOWS_WINE_H
#define GLIMTRA_TESTS_WINDOWS_WINE_H

#include <string>
#include <vector>

#include "game.h"

namespace e2e {

// Wine's 64-bit loader and server themselves: where armhf is enabled, /usr/bin/wine may pick the ARM loader.
extern const char kWine[];
extern const char kWineServer[];

int Shell(const std::string &command);

// The longest wait for Wine to start a program, open a window or end one: a few seconds on an idle machine,
// and ten times that beside a build on two cores.
constexpr double kWineWait = 60;

// An X server of each test's own at 1920x1080 (E2eTest), Windows programs in the prefix under it, and no
// Wine server left behind by any test.
class WineTest : public E2eTest {
 protected:
  // Checks for Wine and makes the prefix unless there is one; says in `missing` what stops that.
  static void SetUpPrefix(const std::string &prefix);
  void SetUp() override;
  void TearDown() override;

  // Wine's own settings, then what the player's environment adds (`extra`), then the loader.
  static std::vector<std::string> WineEnvironment(const std::string &debug,
                                                  const std::vector<std::string> &extra = {});
  // glimtra.exe of `folder`, started in `cwd`.
  Game &StartExe(const std::string &cwd, const std::string &folder, const std::string &debug = "-all",
                 const std::vector<std::string> &extra = {});
  // Where Wine's frames come fast enough, the game's warning box (see windows_e2e.cpp) appears two seconds
  // after start-up and takes the focus, and the next click on the game only brings it back to the front,
  // as with any window. A click on the background, once the warning is due, makes every later click count.
  // (StartExe sets the bar of the warning out of reach, unless `extra` sets it: on a loaded machine the box
  // could come after that click.)
  void Focus(Game &game);
  static constexpr Point kBackground = {300, 290};  // beside the SDL badge, no control

  static std::string prefix;   // the Wine prefix of this test program
  static std::string missing;  // what its tests miss, or empty
};

}  // namespace e2e

#endif
