// The input seam: start-up and shutdown of the keyboard, mouse and pads. The
// core input layer
// stands behind it (the entry layer's LibraryInputService);
// NullInputService opens no device and reports nothing pressed.
#pragma once

class InputService {
 public:
  // 0 success, -1 failure.
  virtual int Initialize() = 0;
  virtual void Terminate() = 0;

 protected:
  constexpr InputService() = default;
  ~InputService() = default;
};

class NullInputService : public InputService {
 public:
  constexpr NullInputService() = default;
  int Initialize() override { return 0; }
  void Terminate() override {}
};
