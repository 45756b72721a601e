// The installed services, one per seam, and the one function that installs
// them. A lower layer reaches a higher one only through these accessors;
// until something is installed each answers with its null implementation.
// InstallServices is called by the player (with the library's own services,
// engine/api/library_services.h), by the tests and by the tools; it replaces
// every service at once, a null member meaning the null implementation.
// The objects must outlive their installation. Nothing here is constructed
// at run time: the null implementations are constant-initialised.
#pragma once

#include <atomic>

#include "engine/api/services/graphics_service.h"
#include "engine/api/services/input_service.h"
#include "engine/api/services/network_service.h"
#include "engine/api/services/sound_service.h"
#include "engine/api/services/system_service.h"
#include "engine/api/services/text_input_service.h"
#include "engine/api/services/window_service.h"

struct ServiceSet {
  WindowService* window = nullptr;
  InputService* input = nullptr;
  GraphicsService* graphics = nullptr;
  SoundService* sound = nullptr;
  TextInputService* text_input = nullptr;
  NetworkService* network = nullptr;
  SystemService* system = nullptr;
};

namespace service_registry_detail {

template <typename Service, typename Null>
struct Slot {
  std::atomic<Service*> installed{nullptr};
  Null null_service;
  Service& Get() {
    Service* s = installed.load(std::memory_order_acquire);
    return s != nullptr ? *s : null_service;
  }
};

inline constinit Slot<WindowService, NullWindowService> window;
inline constinit Slot<InputService, NullInputService> input;
inline constinit Slot<GraphicsService, NullGraphicsService> graphics;
inline constinit Slot<SoundService, NullSoundService> sound;
inline constinit Slot<TextInputService, NullTextInputService> text_input;
inline constinit Slot<NetworkService, NullNetworkService> network;
inline constinit Slot<SystemService, NullSystemService> system;

}  // namespace service_registry_detail

inline WindowService& GetWindowService() { return service_registry_detail::window.Get(); }
inline InputService& GetInputService() { return service_registry_detail::input.Get(); }
inline GraphicsService& GetGraphicsService() { return service_registry_detail::graphics.Get(); }
inline SoundService& GetSoundService() { return service_registry_detail::sound.Get(); }
inline TextInputService& GetTextInputService() { return service_registry_detail::text_input.Get(); }
inline NetworkService& GetNetworkService() { return service_registry_detail::network.Get(); }
inline SystemService& GetSystemService() { return service_registry_detail::system.Get(); }

// Installs every service of set (null members: the null implementations).
inline void InstallServices(const ServiceSet& set) {
  namespace d = service_registry_detail;
  d::window.installed.store(set.window, std::memory_order_release);
  d::input.installed.store(set.input, std::memory_order_release);
  d::graphics.installed.store(set.graphics, std::memory_order_release);
  d::sound.installed.store(set.sound, std::memory_order_release);
  d::text_input.installed.store(set.text_input, std::memory_order_release);
  d::network.installed.store(set.network, std::memory_order_release);
  d::system.installed.store(set.system, std::memory_order_release);
}

// The installed set (null members where a null implementation answers).
inline ServiceSet InstalledServices() {
  namespace d = service_registry_detail;
  return ServiceSet{d::window.installed.load(),     d::input.installed.load(),
                    d::graphics.installed.load(),   d::sound.installed.load(),
                    d::text_input.installed.load(), d::network.installed.load(),
                    d::system.installed.load()};
}

// Shows a message box to the user through the system seam.
inline MessageBoxAnswer ShowUserMessage(std::string_view title, std::string_view text,
                                        MessageBoxButtons buttons = MessageBoxButtons::kOk,
                                        MessageBoxKind kind = MessageBoxKind::kError) {
  return GetSystemService().ShowMessageBox(title, text, buttons, kind);
}
