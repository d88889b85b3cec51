#include "app/startup.h"

#include "app/main_window.h"
#include "app/message_box.h"
#include "platform/files.h"
#include "platform/single_instance.h"
#include "settings/shared.h"

namespace wingstow {

Instance::Instance() = default;
Instance::~Instance() {
  // The window goes before the lock, so a new start sees no window left.
  window.reset();
}

std::unique_ptr<Instance> start_instance(const StartOptions& options) {
  auto instance = std::make_unique<Instance>();
  instance->lock =
      std::make_unique<platform::SingleInstance>(instance_lock_name, options.lock_folder);
  if (!instance->lock->acquire()) {
    if (options.dialogs)
      options.dialogs->message(MessageKind::plain, "already running", Buttons::ok);
    else
      show_message_box(nullptr, MessageKind::plain, "already running", Buttons::ok);
    return nullptr;
  }
  instance->window =
      std::make_unique<Tutil>(options.program_folder, options.dialogs, options.executable_folder);
  return instance;
}

StartOptions production_options() {
  StartOptions options;
  options.executable_folder = platform::executable_folder();
  options.program_folder =
      choose_program_folder(options.executable_folder, UserEnvironment::current());
  return options;
}

}  // namespace wingstow
