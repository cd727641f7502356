# Ticova: the README's two commands, and a few more for developers.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test package sanitize asan tsan fuzz bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/ticova

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package, $(BUILD)/ticova_<version>_<arch>.deb; install it with
# `sudo apt install ./$(BUILD)/ticova_*.deb`.
package: build
	cmake --build $(BUILD) --target package

# ASan+UBSan and TSan builds of the engine tests (the GUI is left to the normal build).
asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTICOVA_SANITIZE=address -DTICOVA_BUILD_GUI=OFF
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS) -LE EndToEnd

tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTICOVA_SANITIZE=thread -DTICOVA_BUILD_GUI=OFF
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -LE EndToEnd

sanitize: asan tsan

# libFuzzer targets, built with clang; run one with e.g. build-fuzz/Fuzz/fuzz_configuration -max_total_time=600
fuzz: deps
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTICOVA_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)

# The benches that need no peer installed: the timer's jitter, the settings file's load and save,
# clicks captured through a private sound server, and Stop and exit. Each prints its figures; the
# others in $(BUILD)/Bench are run by hand (README, Timing).
bench: build
	$(BUILD)/Bench/timer_jitter
	$(BUILD)/Bench/config_load_save
	scripts/with-sound-server $(BUILD)/Bench/click_timing
	scripts/with-sound-server $(BUILD)/Bench/stop_and_exit

clean:
	rm -rf build build-asan build-tsan build-fuzz
