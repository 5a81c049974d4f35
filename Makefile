# The two commands a new user needs:
#   make demo   set up, build, and run the demo
#   make test   set up, build, and run every test
# Both install missing Debian packages first and are safe to run again.

PRESET ?= release
BUILD := build/$(PRESET)
# VASK_WERROR=ON turns warnings into errors (CI does).
CONFIGURE_FLAGS := $(if $(VASK_WERROR),-DVASK_WERROR=$(VASK_WERROR))

.PHONY: demo test test-asan fuzz build setup clean

setup:
	@tools/setup.sh

build: setup
	@cmake --preset $(PRESET) $(CONFIGURE_FLAGS) >/dev/null
	@cmake --build $(BUILD)

demo: build
	@tools/demo.sh $(BUILD)

# The studio's browser tests need Chromium and playwright-core as well.
test: build
	@tools/setup.sh browser
	@ctest --preset $(PRESET)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	@tools/setup.sh browser
	@cmake --preset asan $(CONFIGURE_FLAGS) >/dev/null
	@cmake --build build/asan
	@ctest --preset asan

# Every fuzz target (clang's libFuzzer, with the sanitizers) for FUZZ_SECONDS
# each, from the seed corpora in fuzz/corpus/. FUZZ_SECONDS=1200 for a long run.
FUZZ_SECONDS ?= 30
fuzz:
	@tools/setup.sh fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build build/fuzz --target fuzz_all
	@tools/fuzz.sh build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build out
