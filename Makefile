# Entry points: `make run` and `make test` (see README.md).
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CORPUS     ?= ../shared/corpus
SAMPLE     ?= samples/demo/BDMV
RIP_OUT    ?= $(BUILD)/rip

.PHONY: all setup build build-asan test test-fast run bench sample format clean fuzz

all: build

setup:
	@scripts/setup.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_GUI=OFF

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_GUI=OFF -DTESSEL_SANITIZE=ON

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	$(BUILD)/tessel scan $(SAMPLE)
	$(BUILD)/tessel rip $(SAMPLE) $(RIP_OUT) --yes
	@echo "PNG files: $$(find $(RIP_OUT) -name '*.png' | wc -l) under $(RIP_OUT)/"

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
FUZZ_NAMES   ?= mpls clpi stream_marked stream_bare m2ts image archive page

fuzz: setup
	@scripts/setup-fuzz.sh
	test -f $(FUZZ_BUILD)/CMakeCache.txt || CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) \
		-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_GUI=OFF -DTESSEL_TESTS=OFF -DTESSEL_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target make_seeds $(addprefix fuzz_,$(FUZZ_NAMES))
	$(FUZZ_BUILD)/fuzz/make_seeds $(FUZZ_BUILD)/fuzz/seeds --corpus $(CORPUS) --sample samples/demo
	@for n in $(FUZZ_NAMES); do \
		mkdir -p $(FUZZ_BUILD)/fuzz/corpus/$$n $(FUZZ_BUILD)/fuzz/findings/$$n; \
		d=$$(case $$n in stream_*|page) echo stream;; *) echo $$n;; esac); \
		echo "== fuzz_$$n ($(FUZZ_SECONDS) s)"; \
		nice -n 19 $(FUZZ_BUILD)/fuzz/fuzz_$$n -max_total_time=$(FUZZ_SECONDS) \
			-dict=fuzz/dict/$$d.dict -artifact_prefix=$(FUZZ_BUILD)/fuzz/findings/$$n/ \
			-print_final_stats=1 $(FUZZ_BUILD)/fuzz/corpus/$$n $(FUZZ_BUILD)/fuzz/seeds/$$n \
			tests/data/fuzz/$$n || exit 1; \
	done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-bench
