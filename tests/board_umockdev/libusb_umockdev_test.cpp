// The libusb board on the real libusb code path, against a board emulated by umockdev: a USB
// device in a mock sysfs whose device node answers the usbdevfs ioctls from an ioctl handler.
// Runs under umockdev-wrapper.
#include <gtest/gtest.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board/libusb_board.h"
#include "board/libusb_transport.h"

namespace kv4410::board {
namespace {

// Device descriptor (vendor-specific class, 2F4C:7105) and one configuration with interface 0.
const std::uint8_t kBoardDescriptors[] = {
    0x12, 0x01, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x40, 0x4C,
    0x2F, 0x05, 0x71, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,  // device
    0x09, 0x02, 0x12, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,  // configuration
    0x09, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00,  // interface 0, no endpoints
};

struct Setup {
  std::uint8_t type;
  std::uint8_t request;
  std::uint16_t value;
  std::uint16_t index;
  std::uint16_t length;
  std::vector<std::uint8_t> data;  // OUT data
};

// What the emulated board does: records control requests, answers IN requests with `reply`,
// and fails the next one with `nextUrbStatus` (a negative errno) when set.
struct EmulatedBoard {
  std::mutex lock;
  std::vector<Setup> setups;
  std::vector<std::uint8_t> reply = {0x34, 0x12, 0xAB};
  int nextUrbStatus = 0;
  std::deque<UMockdevIoctlData*> finished;  // URBs waiting to be reaped
};

gboolean handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
  auto* board = static_cast<EmulatedBoard*>(user);
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  std::lock_guard<std::mutex> guard(board->lock);
  if (request == USBDEVFS_SUBMITURB) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
    Setup setup{};  // the 8 setup bytes, little-endian, then the data stage
    setup.type = buffer->data[0];
    setup.request = buffer->data[1];
    setup.value = static_cast<std::uint16_t>(buffer->data[2] | (buffer->data[3] << 8));
    setup.index = static_cast<std::uint16_t>(buffer->data[4] | (buffer->data[5] << 8));
    setup.length = static_cast<std::uint16_t>(buffer->data[6] | (buffer->data[7] << 8));
    urb->status = board->nextUrbStatus;
    board->nextUrbStatus = 0;
    urb->actual_length = 0;
    if (urb->status == 0) {
      if ((setup.type & 0x80) != 0) {
        for (std::size_t i = 0; i < setup.length && i < board->reply.size(); ++i) {
          buffer->data[8 + i] = board->reply[i];
        }
      } else {
        setup.data.assign(buffer->data + 8, buffer->data + 8 + setup.length);
      }
      urb->actual_length = setup.length;
    }
    umockdev_ioctl_data_unref(buffer);
    board->setups.push_back(setup);
    board->finished.push_back(urbData);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
  }
  if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
    if (board->finished.empty()) {
      umockdev_ioctl_client_complete(client, -1, EAGAIN);
      return TRUE;
    }
    UMockdevIoctlData* urbData = board->finished.front();
    board->finished.pop_front();
    // The argument points at the caller's pointer to the reaped URB.
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(slot, 0, urbData);
    umockdev_ioctl_data_unref(slot);
    umockdev_ioctl_data_unref(urbData);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
  }
  // Capabilities, claiming, releasing and driver detaching all succeed.
  if (request == USBDEVFS_GET_CAPABILITIES) {
    UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
    std::memset(caps->data, 0, sizeof(std::uint32_t));
    umockdev_ioctl_data_unref(caps);
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  return TRUE;
}

class UmockdevBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    testbed = umockdev_testbed_new();
    // The testbed is only seen through the preloaded library: without it the test is void.
    ASSERT_TRUE(umockdev_in_mock_environment()) << "run this test under umockdev-wrapper";
    std::string descriptors;
    for (const std::uint8_t byte : kBoardDescriptors) {
      static const char* const kDigits = "0123456789ABCDEF";
      descriptors += kDigits[byte >> 4];
      descriptors += kDigits[byte & 15];
    }
    // A root hub and the board on its port 1, with the board's device node.
    const std::string devices =
        "P: /devices/usb1\n"
        "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
        "A: busnum=1\\n\nA: devnum=1\\n\nA: idVendor=1d6b\\n\nA: idProduct=0002\\n\n"
        "\n"
        "P: /devices/usb1/1-1\n"
        "N: bus/usb/001/002\n"
        "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=/dev/bus/usb/001/002\n"
        "E: BUSNUM=001\nE: DEVNUM=002\n"
        "A: busnum=1\\n\nA: devnum=2\\n\nA: idVendor=2f4c\\n\nA: idProduct=7105\\n\n"
        "A: speed=480\\n\n"
        "H: descriptors=" +
        descriptors + "\n";
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, devices.c_str(), &error))
        << (error != nullptr ? error->message : "");

    // The handler answers on a main loop of its own, so that the test thread can block in
    // libusb while it does.
    context = g_main_context_new();
    g_main_context_push_thread_default(context);
    handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(handleIoctl), &emulated);
    const gboolean attached =
        umockdev_testbed_attach_ioctl(testbed, "/dev/bus/usb/001/002", handler, &error);
    g_main_context_pop_thread_default(context);
    ASSERT_TRUE(attached) << (error != nullptr ? error->message : "");
    loop = g_main_loop_new(context, FALSE);
    loopThread = std::thread([this] {
      g_main_context_push_thread_default(context);
      g_main_loop_run(loop);
      g_main_context_pop_thread_default(context);
    });
    board = std::make_unique<LibusbBoard>(std::make_unique<LibusbTransport>());
  }

  void TearDown() override {
    if (testbed == nullptr) {
      return;
    }
    board.reset();
    // Quit from inside the loop: a quit that came before the thread entered
    // g_main_loop_run would be lost and the join would wait for ever.
    g_main_context_invoke(
        context,
        [](gpointer running) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(running));
          return G_SOURCE_REMOVE;
        },
        loop);
    if (loopThread.joinable()) {
      loopThread.join();
    }
    umockdev_testbed_detach_ioctl(testbed, "/dev/bus/usb/001/002", nullptr);
    g_main_loop_unref(loop);
    g_object_unref(handler);
    g_main_context_unref(context);
    g_object_unref(testbed);
  }

  Status connect() {
    std::int16_t count = 0;
    BoardList list{};
    const Status searched = board->Search_For_Boards(kVendorId, kProductId, count, list);
    if (searched != status::kOk || count != 1) {
      return searched == status::kOk ? status::kNoDevicesFound : searched;
    }
    return board->Connect(kVendorId, kProductId, list[0], handle);
  }

  UMockdevTestbed* testbed = nullptr;
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  UMockdevIoctlBase* handler = nullptr;
  std::thread loopThread;
  EmulatedBoard emulated;
  std::unique_ptr<LibusbBoard> board;
  std::int32_t handle = 0;
};

TEST_F(UmockdevBoard, FindsOpensAndExchangesVendorRequests) {
  ASSERT_EQ(connect(), status::kOk);
  EXPECT_EQ(locationText(board->location().value()), "1-1");  // bus 1, port 1
  std::uint8_t data[3] = {0, 0, 0};
  EXPECT_EQ(board->Vendor_Request(handle, 221, 0xB300, 0x0F21, kDirOut, 0, data), 0);
  EXPECT_EQ(board->Vendor_Request(handle, 233, 0, 0, kDirIn, 3, data), 0);
  EXPECT_EQ(data[0], 0x34);
  EXPECT_EQ(data[1], 0x12);
  EXPECT_EQ(data[2], 0xAB);
  std::lock_guard<std::mutex> guard(emulated.lock);
  ASSERT_EQ(emulated.setups.size(), 2u);
  EXPECT_EQ(emulated.setups[0].type, 0x40);
  EXPECT_EQ(emulated.setups[0].request, 221);
  EXPECT_EQ(emulated.setups[0].value, 0xB300);
  EXPECT_EQ(emulated.setups[0].index, 0x0F21);
  EXPECT_EQ(emulated.setups[0].length, 0);
  EXPECT_EQ(emulated.setups[1].type, 0xC0);
  EXPECT_EQ(emulated.setups[1].request, 233);
  EXPECT_EQ(emulated.setups[1].length, 3);
}

TEST_F(UmockdevBoard, StallAndVanishedDeviceMapToTheirStatuses) {
  ASSERT_EQ(connect(), status::kOk);
  std::uint8_t data[3] = {7, 8, 9};
  {
    std::lock_guard<std::mutex> guard(emulated.lock);
    emulated.nextUrbStatus = -EPIPE;
  }
  EXPECT_EQ(board->Vendor_Request(handle, 233, 0, 0, kDirIn, 3, data), 3006);
  EXPECT_EQ(data[0], 7) << "the buffer keeps its bytes";
  {
    std::lock_guard<std::mutex> guard(emulated.lock);
    emulated.nextUrbStatus = -ENODEV;
  }
  EXPECT_EQ(board->Vendor_Request(handle, 221, 1, 2, kDirOut, 0, data), 3001);
  EXPECT_EQ(board->Vendor_Request(handle, 221, 1, 2, kDirOut, 0, data), 3001);
  std::lock_guard<std::mutex> guard(emulated.lock);
  EXPECT_EQ(emulated.setups.size(), 2u) << "nothing reaches the device after it vanished";
}

}  // namespace
}  // namespace kv4410::board
