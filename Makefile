# The two commands of README.md, thin over CMake: `make run` plays the game, `make test` runs every test.
BUILD := build
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test build artwork clean

run:
	@tools/install-deps run
	@$(MAKE) --no-print-directory build BUILD_TESTING=OFF
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display here (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
	  echo "The game is built; start it from a desktop session with: ./$(BUILD)/glimtra"; exit 1; fi
	./$(BUILD)/glimtra

test:
	@tools/install-deps test
	@$(MAKE) --no-print-directory build BUILD_TESTING=ON
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

build:
	cmake -S . -B $(BUILD) -DBUILD_TESTING=$(or $(BUILD_TESTING),ON) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD)
