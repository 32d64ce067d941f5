# Front door of the build. `make` builds everything, `make test` runs every
# test, `make demo` packs a demo installer and runs it under Wine, `make
# dist` makes the release. `test`, `demo` and `dist` first install what a
# fresh Debian 12 machine lacks (as root).
JOBS ?= $(shell nproc)
NATIVE := build/native
WIN32 := build/win32
WIN64 := build/win64
FUZZ := build/fuzz
FUZZ_SECONDS ?= 60

.PHONY: all native win32 win64 deps test unit-test e2e-test demo clean

all: native win32 win64

native:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

win32:
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake --build $(WIN32) -j $(JOBS)

# mksfx.exe, the publisher's tool for 64-bit Windows.
win64:
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	cmake --build $(WIN64) -j $(JOBS)

deps:
	scripts/install-deps.sh

test: deps
	$(MAKE) all fuzz-build
	$(MAKE) unit-test fuzz-test guest-runner-test mksfx-windows-test e2e-test

unit-test:
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# libFuzzer harnesses (tests/fuzz), built by clang with ASan and UBSan.
# `make fuzz` runs each harness FUZZ_SECONDS seconds, one after the other,
# growing build/fuzz/corpus; `make test` runs every kept crasher and a few
# seconds of each harness (fuzz-test).
.PHONY: fuzz fuzz-build fuzz-test
fuzz-build:
	cmake -S . -B $(FUZZ) -DVORN_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
	cmake --build $(FUZZ) -j $(JOBS)

fuzz-test:
	cd $(FUZZ) && ctest --output-on-failure

fuzz: deps
	$(MAKE) fuzz-build
	tests/fuzz/run-fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

# The Wine tests run on this machine when its kernel runs 32-bit programs,
# otherwise inside an emulated Debian guest (scripts/with-wine.sh; VORN_E2E
# =vm or =direct forces either way). guest-runner-test checks that the
# guest's runner fails loudly, saying why, when it cannot run.
.PHONY: guest-runner-test mksfx-windows-test
e2e-test:
	scripts/with-wine.sh tests/e2e/run-all.sh

guest-runner-test:
	tests/wine-guest/runner-failures.sh

# mksfx.exe under 64-bit Wine, which runs on this machine whatever its
# kernel, held against mksfx on Linux.
mksfx-windows-test:
	tests/mksfx-windows/same-as-linux.sh $(NATIVE) $(WIN64) $(WIN32)/vornsfx.exe

# Decoding speed of every method next to lhasa, on archives of 64 MiB made
# once into build/bench: the native decoders (tools/bench/run-bench.sh),
# then the real stub under Wine next to lhasa and gzip -d
# (tools/bench/run-stub-bench.sh), whose figures are the ones that count;
# then encoding next to jLHA and gzip -9 (tools/bench/run-encoder-bench.sh).
.PHONY: bench
bench: deps
	$(MAKE) all
	tools/bench/run-bench.sh $(NATIVE) build/bench
	scripts/with-wine.sh tools/bench/run-stub-bench.sh build/bench
	tools/bench/run-encoder-bench.sh $(NATIVE) build/bench

demo: deps
	$(MAKE) all
	scripts/with-wine.sh tools/demo/run-demo.sh

# The release: dist/vorn-sfx-VERSION-linux-x86_64.tar.gz,
# dist/vorn-sfx-VERSION-windows-x64.zip and dist/SHA256SUMS.
.PHONY: dist
dist: deps
	$(MAKE) all
	scripts/make-dist.sh

clean:
	rm -rf build dist
