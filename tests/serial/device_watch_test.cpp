// Waiting for devices to come back: links that appear later, in a folder
// that does not exist yet (as udev's /dev/serial/by-id), wake the wait; a
// wait that gives up says so.
#include "serial/device_watch.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// A pseudo-terminal's device side: a character device anyone may open.
class Device {
 public:
  Device() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
        ptsname_r(master_, name, sizeof name) == 0) {
      path_ = name;
    }
  }
  ~Device() {
    if (master_ >= 0)
      close(master_);
  }
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

std::function<bool()> Deadline(int ms, std::atomic<int>* asked = nullptr) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  return [end, asked] {
    if (asked)
      ++*asked;
    return std::chrono::steady_clock::now() >= end;
  };
}

TEST(DeviceWatch, LinksThatComeLaterInAFolderThatComesLaterEndTheWait) {
  testsupport::TempDir dir;
  Device at, nmea;
  ASSERT_FALSE(at.path().empty());
  const fs::path by_id = dir.path() / "serial" / "by-id";
  const std::string at_link = (by_id / "usb-Module-if02").string();
  const std::string nmea_link = (dir.path() / "nmea").string();
  DeviceWatch watch({at_link, nmea_link});
  EXPECT_FALSE(watch.AllPresent());
  std::thread plug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fs::create_symlink(nmea.path(), nmea_link);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fs::create_directories(by_id);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fs::create_symlink(at.path(), at_link);
  });
  EXPECT_TRUE(WaitForDevices({at_link, nmea_link}, Deadline(10000), 2000))
      << "the wait ended only by giving up";
  plug.join();
  EXPECT_TRUE(watch.AllPresent());
}

TEST(DeviceWatch, AChangeWakesTheWaitBeforeItsTime) {
  testsupport::TempDir dir;
  Device device;
  const std::string link = dir.file("port");
  DeviceWatch watch({link});
  std::thread plug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    fs::create_symlink(device.path(), link);
  });
  // Woken by the link, not by the end of a 20-s slice.
  EXPECT_TRUE(watch.WaitForChange(20000));
  plug.join();
  EXPECT_TRUE(watch.AllPresent());
}

TEST(DeviceWatch, WhatIsNoDeviceDoesNotCountAndTheWaitGivesUp) {
  testsupport::TempDir dir;
  const std::string file = dir.file("not-a-tty");
  testsupport::WriteFile(file, "x");
  const std::string dangling = dir.file("dangling");
  fs::create_symlink(dir.file("gone"), dangling);
  std::atomic<int> asked{0};
  EXPECT_FALSE(WaitForDevices({file}, Deadline(300, &asked), 50));
  EXPECT_GE(asked.load(), 2) << "asked again after each slice";
  EXPECT_FALSE(WaitForDevices({dangling}, Deadline(100), 50));
}

}  // namespace
