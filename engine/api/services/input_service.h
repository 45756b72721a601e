// The input seam: start-up and shutdown of the keyboard, mouse and pads, and
// the any-input check behind the wait for input. The core input layer
// stands behind it (the entry layer's LibraryInputService);
// NullInputService opens no device and reports nothing pressed.
#pragma once

class InputService {
 public:
  // 0 success, -1 failure.
  virtual int Initialize() = 0;
  virtual void Terminate() = 0;
  // The first pressed input code for the flag set, -1 for a pad or mouse
  // button, 0 for none.
  virtual int CheckAnyInput(int flags) = 0;

 protected:
  constexpr InputService() = default;
  ~InputService() = default;
};

class NullInputService : public InputService {
 public:
  constexpr NullInputService() = default;
  int Initialize() override { return 0; }
  void Terminate() override {}
  int CheckAnyInput(int) override { return 0; }
};
