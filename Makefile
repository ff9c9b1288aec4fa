BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps build run test bench clean

deps:
	@scripts/deps.sh

build:
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	$(BUILD)/zjedit

test: deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
