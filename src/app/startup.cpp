#include "app/startup.h"

#include <QtGlobal>

#include "app/instance_channel.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "platform/files.h"
#include "platform/single_instance.h"
#include "settings/shared.h"

namespace wingstow {

Instance::Instance() = default;
Instance::~Instance() {
  // The door closes first, then the window goes, both before the lock, so a
  // new start sees nothing left.
  channel.reset();
  window.reset();
}

std::unique_ptr<Instance> start_instance(const StartOptions& options,
                                         const std::vector<std::string>& archives) {
  auto instance = std::make_unique<Instance>();
  instance->lock =
      std::make_unique<platform::SingleInstance>(instance_lock_name, options.lock_folder);
  const QString socket = InstanceChannel::socket_path_for(instance->lock->path());
  if (!instance->lock->acquire()) {
    const std::string& failure = instance->lock->failure();
    if (!failure.empty()) {
      // No other instance can hold such a lock: nobody to hand the archives to.
      if (options.dialogs)
        options.dialogs->message(MessageKind::error, failure, Buttons::ok);
      else
        show_message_box(nullptr, MessageKind::error, failure, Buttons::ok);
      return nullptr;
    }
    // The running window comes to the front with the archives; should it
    // not answer, the archives stay where they are.
    InstanceChannel::send(socket, archives);
    if (options.dialogs)
      options.dialogs->message(MessageKind::plain, "already running", Buttons::ok);
    else
      show_message_box(nullptr, MessageKind::plain, "already running", Buttons::ok);
    return nullptr;
  }
  instance->window =
      std::make_unique<Tutil>(options.program_folder, options.dialogs, options.executable_folder);
  Tutil* window = instance->window.get();
  instance->channel = std::make_unique<InstanceChannel>(socket);
  if (instance->channel->listen()) {
    QObject::connect(instance->channel.get(), &InstanceChannel::received, window,
                     [window](const std::vector<std::string>& handed) {
                       window->bring_to_front();
                       window->receive_archives(handed);
                     });
  } else {
    // The program works on; later starts only hear "already running".
    qWarning("Later starts cannot hand over archives: %s", qPrintable(instance->channel->error()));
    instance->channel.reset();
  }
  window->receive_archives(archives);
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
