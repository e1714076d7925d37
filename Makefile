# The two commands of README.md, thin over CMake: `make run` plays the game, `make test` runs every test.
BUILD := build
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test build sanitize golden artwork bench install deb web web-if-checked web-driver windows release clean

run:
	@tools/install-deps run
	@$(MAKE) --no-print-directory build BUILD_TESTING=OFF
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display here (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
	  echo "The game is built; start it from a desktop session with: ./$(BUILD)/glimtra"; exit 1; fi
	./$(BUILD)/glimtra

# Every part runs, whatever failed before it, and the run fails at the end if any part did. The browser page
# is built only with an emscripten that its fixes of emscripten's SDL were checked against: a page that
# draws wrong is never played.
test:
	@tools/install-deps test
	@$(MAKE) --no-print-directory build BUILD_TESTING=ON
	@failed=""; \
	tools/install-deps web || failed="the browser page's build"; \
	$(MAKE) --no-print-directory web-if-checked || failed="the browser page's build"; \
	$(MAKE) --no-print-directory sanitize || failed="$${failed:+$$failed and }the sanitizer run"; \
	tools/install-deps windows && tools/build-windows $(WINDOWS_BUILD); status=$$?; \
	if [ $$status -eq 77 ]; then echo "make test: no Windows zip without the SDL releases; its tests skip"; \
	elif [ $$status -ne 0 ]; then failed="$${failed:+$$failed and }the Windows build"; fi; \
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) || failed="$${failed:+$$failed and }the main run"; \
	if [ -n "$$failed" ]; then echo "make test: $$failed failed (see above)"; exit 1; fi

build:
	cmake -S . -B $(BUILD) -DBUILD_TESTING=$(or $(BUILD_TESTING),ON) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# Re-makes the golden frames of the scene tests from the game as it draws now, and the screenshots in docs/.
# Look at what changed before committing: git diff --stat tests/golden docs, and open the pictures.
golden:
	@$(MAKE) --no-print-directory build BUILD_TESTING=ON
	mkdir -p tests/golden docs
	GLIMTRA_UPDATE_GOLDEN=1 SDL_VIDEODRIVER=dummy $(BUILD)/tests/scene_test --gtest_filter='Scene.Golden*'
	for f in startup memorise answer wrong; do \
	  convert tests/golden/$$f.bmp -strip -define png:exclude-chunks=date,time docs/$$f.png; done

# Re-makes the pictures in pix/, the desktop icons and the web app's icons from their generator, byte for byte.
artwork:
	@$(MAKE) --no-print-directory build
	./$(BUILD)/tools/artwork/glimtra-artwork pix
	./$(BUILD)/tools/artwork/glimtra-artwork --icons dist/icons/hicolor
	./$(BUILD)/tools/artwork/glimtra-artwork --web-icons dist/web

# Measures the game against its floors and prints the tables of docs/benchmarks.md, the desktop's and
# the browser page's; in a build of its own, since the measurement programs are built only there.
BENCH_BUILD := build-bench
bench:
	@tools/install-deps test
	cmake -S . -B $(BENCH_BUILD) -DGLIMTRA_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/run $(BENCH_BUILD)
	@$(MAKE) --no-print-directory web web-driver
	NODE_PATH=$(WEB_BUILD)/driver/node_modules node bench/web.js $(WEB_BUILD)/glimtra.html

# Installs the game for the desktop under PREFIX (e.g. make install PREFIX=~/.local): launcher, pictures,
# desktop entry, icons and metainfo. DESTDIR is honoured, for packaging.
PREFIX ?= /usr/local
install:
	@tools/install-deps run
	@$(MAKE) --no-print-directory build BUILD_TESTING=OFF
	cmake --install $(BUILD) --prefix $(patsubst ~/%,$(HOME)/%,$(PREFIX))

# Builds the Debian source and binary packages from a copy of the tree into build-deb/ (players then install
# the binary one with `sudo apt install ./build-deb/glimtra_VERSION_ARCH.deb`) and shows what lintian says of
# both, through the .changes that lists them. With ARCH (arm64 or armhf, for the Raspberry Pi), it
# cross-builds the package for that architecture into build-deb-ARCH/, installing the build dependencies of
# ARCH through multiarch first.
DEB_BUILD := build-deb$(if $(ARCH),-$(ARCH))
deb:
	@tools/install-deps deb $(ARCH)
	tools/build-deb $(DEB_BUILD) $(ARCH)
	lintian --pedantic --display-info $(DEB_BUILD)/*.changes

# The browser page, $(WEB_BUILD)/glimtra.html: one file that plays offline from disk or from any static web
# server; and $(WEB_BUILD)/site/, the same page as a web app that installs from the browser and plays offline.
# Debian's emcc runs its optimizer with node, which finds Debian's acorn only through NODE_PATH.
WEB_BUILD := build-web
EMCC_NODE_PATH := NODE_PATH=/usr/share/nodejs$${NODE_PATH:+:$$NODE_PATH}
web:
	@tools/install-deps web
	$(EMCC_NODE_PATH) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	$(EMCC_NODE_PATH) cmake --build $(WEB_BUILD) -j $(JOBS)
	@echo "make web: $(WEB_BUILD)/glimtra.html and the web app $(WEB_BUILD)/site/"

# make test's page: built, with the driver, by an emscripten that src/web/sdl_fixes.js was checked against. By any
# other, a page and site left from an earlier build are removed, so that the browser tests skip rather than
# play a page that this tree no longer builds.
web-if-checked:
	@if reason=$$(src/web/emscripten-checked); then \
	  $(MAKE) --no-print-directory web web-driver; \
	else echo "make test: $$reason; the browser page is not built and its tests skip"; \
	  rm -rf $(WEB_BUILD)/glimtra.html $(WEB_BUILD)/site; fi

# The driver of the browser tests, puppeteer-core as tests/web/package-lock.json pins it (it brings no browser;
# the tests use Debian's chromium and Firefox ESR), installed into the web build rather than the tree.
web-driver:
	@mkdir -p $(WEB_BUILD)/driver
	@if ! cmp -s tests/web/package-lock.json $(WEB_BUILD)/driver/package-lock.json || \
	    [ ! -d $(WEB_BUILD)/driver/node_modules/puppeteer-core ]; then \
	  cp tests/web/package.json tests/web/package-lock.json $(WEB_BUILD)/driver/ && \
	  cd $(WEB_BUILD)/driver && npm ci --ignore-scripts --no-audit --no-fund; fi

# Cross-builds the game for 64-bit Windows into build-windows/Glimtra-VERSION-win64.zip, which a player
# unpacks and double-clicks: glimtra.exe, SDL.dll (sdl12-compat) and SDL2.dll built from their releases in
# ../shared/third_party/ (or SDL2_SOURCE=... SDL12COMPAT_SOURCE=...), pix/, the licences and two notes. The
# SDL builds are kept in build-windows/, so that the next run only builds the game.
WINDOWS_BUILD := build-windows
windows:
	@tools/install-deps windows
	tools/build-windows $(WINDOWS_BUILD)

# Every file of this version, from the committed tree, into $(RELEASE_BUILD)/glimtra-VERSION/: the source
# tarball and source package, the .deb for amd64, arm64 and armhf, the page and the web app's site as a zip,
# the Windows zip and MSI, the apt repository and SHA256SUMS, signed with the key whose fingerprint
# RELEASE_KEY gives (APT_URL: where apt/ is published); without RELEASE_KEY, unsigned and named so.
# docs/releasing.md walks through it.
RELEASE_BUILD := build-release
release:
	@tools/install-deps release
	tools/make-release $(RELEASE_BUILD)

# The in-process tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer. What runs the binary
# itself (end-to-end, memcheck, installation, the browser page, the Windows zip) and the format check stay
# with the main build. Tests that open a real display run without leak checks: SDL's X11 and GL drivers keep
# memory to the end and are unloaded before LeakSanitizer could tell whose it is.
ASAN_BUILD := build-asan
sanitize:
	cmake -S . -B $(ASAN_BUILD) -DBUILD_TESTING=ON -DGLIMTRA_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	@status=0; \
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE 'e2e|valgrind|format|install|xserver|package|web|windows' || \
	  status=1; \
	ASAN_OPTIONS=detect_leaks=0 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L xserver || status=1; \
	exit $$status

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD) $(WINDOWS_BUILD) build-deb build-deb-* $(RELEASE_BUILD)
