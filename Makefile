# The commands people type. `make deps` installs what is missing (Debian 12).
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
DEMO_DRIVE ?= $(CURDIR)/demo

DEB_PACKAGES := cmake g++ make libsqlite3-dev sqlite3 libgtest-dev libgmock-dev libbenchmark-dev \
                libcli11-dev
# The fuzz targets (make fuzz) are built with clang and libFuzzer.
DEB_PACKAGES += clang libclang-rt-14-dev libfuzzer-14-dev
# The window and the modules: Qt 6 Widgets and SVG, Qt's translations (pt_BR), the platform
# plug-ins (offscreen in the tests), the fonts the form is drawn with, and a virtual display with
# ImageMagick to look at the window on a machine without a screen.
DEB_PACKAGES += qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n qt6-svg-dev \
                fonts-wine fonts-dejavu-core fonts-liberation xvfb xauth imagemagick
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test test-asan bench demo run screenshot clean soak fuzz fuzz-seeds

all: build

deps:
	@missing=$$(for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	  echo "installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREXO_BENCH=ON

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The tests, then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) --no-print-directory test-asan

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVANTREXO_SANITIZE=ON -DVANTREXO_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

bench: build
	@for b in $(BUILD)/*_bench; do echo "== $$b"; $$b || exit 1; done

# A demo data set under ./demo (the drive), shown as dumps.
demo: build
	$(BUILD)/vrx --drive $(DEMO_DRIVE) demo --force
	@echo "== TABEMAR"; $(BUILD)/vrx --drive $(DEMO_DRIVE) dump TABEMAR | fold -b -w 31 | iconv -f WINDOWS-1252 -t UTF-8; echo

# The form on the demo data: the window when there is a display, else driven by a script (look
# up a brand, delete its products).
run: demo
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "== DRAVEL_MARKS on $(DEMO_DRIVE) (brands A01 to A12)"; \
	  VANTREXO_DRIVE=$(DEMO_DRIVE) $(BUILD)/DRAVEL_MARKS; \
	else \
	  VANTREXO_DRIVE=$(DEMO_DRIVE) $(BUILD)/dravel-script < examples/demo.script && \
	  echo "== No display (DISPLAY and WAYLAND_DISPLAY are unset), so the form ran from" \
	       "examples/demo.script. For the window, run 'make run' in a desktop session or over" \
	       "'ssh -X'."; \
	fi

# The README's picture of the window, drawn offscreen by the window's own code.
screenshot: build
	$(BUILD)/form-screenshot docs/dravel-marks.png

# The libFuzzer targets (fuzz/), built with clang, ASan and UBSan in a build
# directory of their own: each replays its regression corpus, then fuzzes
# for FUZZ_SECONDS; any finding fails.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVANTREXO_FUZZ=ON -DVANTREXO_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_targets
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Makes the seed corpora under fuzz/corpus/ again with vrx and the generator.
fuzz-seeds: build
	fuzz/make_seeds.sh $(BUILD)/vrx

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

# The kill, fault and other-program tests over many more points (several minutes).
soak: build
	cd $(BUILD) && VANTREXO_SOAK=1 ./program_tests --gtest_filter='KillAndFault.*:OtherPrograms.*'
