// A program copy for the single-instance tests, run as a process of its own:
//   win32_instance_probe second TAG   a second copy: exit 0 when the first copy
//                                     was found and the broadcast went out, 1
//                                     when not, 2 when it found no first copy
//   win32_instance_probe hold TAG     a first copy that runs until it is killed
#include <windows.h>

#include <string>

#include "platform/Win32SingleInstance.h"
#include "tests/platform/InstanceNames.h"

using namespace amppanel;

int main(int argc, char** argv) {
  if (argc != 3) return 3;
  const std::string mode = argv[1];
  const test::InstanceNames names(SerialProfile(), argv[2]);
  Win32SingleInstance instance(names.Profile());
  if (mode == "second") {
    if (instance.Acquire()) return 2;
    return instance.BringFirstToFront() ? 0 : 1;
  }
  if (mode == "hold") {
    if (!instance.Acquire()) return 2;
    instance.Listen({});
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    return 0;
  }
  return 3;
}
