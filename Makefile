# Entry points: `make run` and `make test` (see README.md).
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CORPUS     ?= ../shared/corpus
SAMPLE     ?= samples/demo/BDMV
RIP_OUT    ?= $(BUILD)/rip
SHOTS      ?= docs
GUI_BIN     = $(BUILD)/tessel-gui
# The desktop application's tests and pictures need no display.
OFFSCREEN   = QT_QPA_PLATFORM=offscreen

.PHONY: all setup build build-asan test test-fast run screenshots bench sample format clean fuzz

all: build

setup:
	@scripts/setup.sh

# Both builds include the desktop application; a build folder configured
# without it is configured again.
configure = grep -qs '^TESSEL_GUI:BOOL=ON' $(1)/CMakeCache.txt || \
	cmake -S . -B $(1) -G Ninja -DTESSEL_GUI=ON $(2)
CONFIGURE      = $(call configure,$(BUILD),-DCMAKE_BUILD_TYPE=RelWithDebInfo)
CONFIGURE_ASAN = $(call configure,$(ASAN_BUILD),-DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON)

build: setup
	@$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup
	@$(CONFIGURE_ASAN)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build build-asan
	cd $(BUILD) && $(OFFSCREEN) ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && $(OFFSCREEN) ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
		ctest --output-on-failure -j $(JOBS)

test-fast: build
	cd $(BUILD) && $(OFFSCREEN) ctest --output-on-failure -j $(JOBS)

# Only the two programs it runs are built. The desktop application is shown
# working without a display: it opens the sample disc offscreen and saves its
# window as a picture.
run: setup
	@$(CONFIGURE)
	@mkdir -p $(BUILD)/render
	cmake --build $(BUILD) -j $(JOBS) --target tessel tessel-gui
	$(BUILD)/tessel scan $(SAMPLE)
	$(BUILD)/tessel rip $(SAMPLE) $(RIP_OUT) --yes
	@echo "PNG files: $$(find $(RIP_OUT) -name '*.png' | wc -l) under $(RIP_OUT)/"
	$(BUILD)/tessel render $(SAMPLE) $(BUILD)/render/page.png --state selected --zoom 0.5 --safe-areas
	@echo "First page of the sample disc, as a player shows it: $(BUILD)/render/page.png"
	@mkdir -p $(BUILD)/play
	$(BUILD)/tessel play $(SAMPLE) --seconds 4 --out $(BUILD)/play/menu.webp
	@echo "The sample disc's first page in time (in-effect, animations): $(BUILD)/play/menu.webp"
	@cfg=$$(mktemp -d) && XDG_CONFIG_HOME=$$cfg $(OFFSCREEN) $(GUI_BIN) $(SAMPLE) --show-page \
		--grab $(BUILD)/tessel-gui.png 2>/dev/null; rc=$$?; rm -rf $$cfg; \
		if [ $$rc = 0 ]; then echo "Desktop application checked offscreen: $(BUILD)/tessel-gui.png"; \
		else echo "tessel-gui failed offscreen (exit $$rc)" >&2; exit 1; fi
	@echo "Start the desktop application with: $(GUI_BIN) $(SAMPLE)"
	@echo "  (it needs a display; without one: $(OFFSCREEN) $(GUI_BIN) $(SAMPLE) --grab window.png)"

# Pictures of the desktop application for README.md: the main window on the
# sample disc (a page at Fit, a button selected, the map on it), the first
# window on a 1366 x 768 screen, the page view and the map pane, and the
# first page in each button state. Each run starts from fresh settings, so
# the pictures show the default layout; the offscreen screen has the size
# named (SCREEN=WxH).
screen = printf '{"screens":[{"name":"s","x":0,"y":0,"width":%s,"height":%s,"logicalDpi":96}]}' \
	$$(echo $(1) | cut -dx -f1) $$(echo $(1) | cut -dx -f2) > $(BUILD)/screen-$(1).json
screenshots: setup
	@$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS) --target tessel tessel-gui
	mkdir -p $(SHOTS)
	@$(call screen,1600x1000); $(call screen,1366x768)
	@set -e; shot() { size=$$1; shift; cfg=$$(mktemp -d); XDG_CONFIG_HOME=$$cfg \
		QT_QPA_PLATFORM=offscreen:configfile=$(BUILD)/screen-$$size.json $(GUI_BIN) "$$@" \
		2>/dev/null || { rm -rf $$cfg; exit 1; }; rm -rf $$cfg; }; \
	shot 1600x1000 $(SAMPLE) --show-page --button 1 --grab $(SHOTS)/main-window.png; \
	shot 1366x768 $(SAMPLE) --grab $(SHOTS)/first-window-1366x768.png; \
	shot 1366x768 $(SAMPLE) --show-page --button 1 --grab $(SHOTS)/page-fit.png --grab-pane page; \
	shot 1366x768 $(SAMPLE) --show-page --button 1 --grab $(SHOTS)/map-pane.png --grab-pane map; \
	for s in normal selected activated; do \
		shot 1600x1000 $(SAMPLE) --show-page --state $$s --zoom 50% --grab $(SHOTS)/page-$$s.png; \
	done; $(BUILD)/tessel render $(SAMPLE) $(SHOTS)/render-page.png --state selected --zoom 0.5 \
		--safe-areas >/dev/null; echo "Pictures: $$(ls $(SHOTS)/*.png | tr '\n' ' ')"

# Regenerates the bundled sample disc with the project's own generator.
sample: build
	rm -rf samples/demo
	$(BUILD)/tools/make_sample_disc --demo samples/demo

bench: setup
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSEL_GUI=OFF -DTESSEL_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do echo "== $$b"; $$b; done

# libFuzzer harnesses (fuzz/README.md): clang 14 build in $(FUZZ_BUILD), seeds
# made from the corpus, the sample disc and generated menus, then each harness
# for FUZZ_SECONDS at low priority, one process at a time.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_NAMES   ?= mpls clpi stream_marked stream_bare m2ts image archive page player disc_image map

fuzz: setup
	@scripts/setup-fuzz.sh
	test -f $(FUZZ_BUILD)/CMakeCache.txt || CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) \
		-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_GUI=OFF -DTESSEL_TESTS=OFF -DTESSEL_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target make_seeds $(addprefix fuzz_,$(FUZZ_NAMES))
	$(FUZZ_BUILD)/fuzz/make_seeds $(FUZZ_BUILD)/fuzz/seeds --corpus $(CORPUS) --sample samples/demo
	@for n in $(FUZZ_NAMES); do \
		mkdir -p $(FUZZ_BUILD)/fuzz/corpus/$$n $(FUZZ_BUILD)/fuzz/findings/$$n; \
		d=$$(case $$n in stream_*|page|map) echo stream;; *) echo $$n;; esac); \
		echo "== fuzz_$$n ($(FUZZ_SECONDS) s)"; \
		nice -n 19 $(FUZZ_BUILD)/fuzz/fuzz_$$n -max_total_time=$(FUZZ_SECONDS) \
			-dict=fuzz/dict/$$d.dict -artifact_prefix=$(FUZZ_BUILD)/fuzz/findings/$$n/ \
			-print_final_stats=1 $(FUZZ_BUILD)/fuzz/corpus/$$n $(FUZZ_BUILD)/fuzz/seeds/$$n \
			$$(test -d tests/data/fuzz/$$n && echo tests/data/fuzz/$$n) || exit 1; \
	done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-bench
