// kv4410ctl list: every board with the board's IDs on USB, one line each: where it sits (the
// name --board takes), its bus address, and whether it runs our firmware already. With
// --simulate the simulated board is the one board.
#include <cstdio>
#include <iostream>
#include <string>

#include "board/board_location.h"
#include "board/libusb_board.h"
#include "board/libusb_transport.h"
#include "board/simulation_options.h"
#include "cli/board_session.h"
#include "cli/commands.h"

namespace kv4410::cli {

namespace {

std::string firmwareText(const board::LibusbBoard::Listing& listing) {
  using Firmware = board::LibusbBoard::Firmware;
  switch (listing.firmware) {
    case Firmware::Ours:
      return "running";
    case Firmware::NotLoaded:
      return "not loaded (loaded at start-up)";
    case Firmware::Unknown:
      break;
  }
  switch (listing.openError) {
    case board::UsbError::None:
      return "unknown (the board did not answer)";
    case board::UsbError::Access:
      return "unknown (no permission to open it: install the udev rule)";
    case board::UsbError::Busy:
      return "unknown (in use by another program)";
    default:
      return "unknown (cannot be opened)";
  }
}

// One row of the table, the heading above the first.
void printRow(const std::string& where, const std::string& address, const std::string& firmware) {
  static bool headed = false;
  if (!headed) {
    headed = true;
    printRow("BOARD", "ADDRESS", "FIRMWARE");
  }
  std::printf("%-12s %-8s %s\n", where.c_str(), address.c_str(), firmware.c_str());
}

int listBoards(const GlobalOptions& globals) {
  if (globals.board.simulate) {
    const auto parsed = board::parseSimulationOptions(globals.board.simulateOptions);
    if (!parsed.options) {
      std::cerr << "kv4410ctl: " << parsed.error << "\n";
      return kUsageError;
    }
    if (!parsed.options->noBoard) {
      printRow("simulated", "-", "running (simulated board)");
      return kSuccess;
    }
  } else {
    board::LibusbBoard usb(std::make_unique<board::LibusbTransport>());
    const auto listings = usb.survey(board::kVendorId, board::kProductId);
    for (const auto& listing : listings) {
      printRow(board::locationText({listing.device.bus, listing.device.portPath}),
               std::to_string(listing.device.address), firmwareText(listing));
    }
    if (!listings.empty()) {
      return kSuccess;
    }
  }
  std::cerr << "kv4410ctl: No Evaluation Board Found\n";
  return kBoardError;
}

}  // namespace

void addListCommand(CLI::App& app, const GlobalOptions& globals, int& exitStatus) {
  app.add_subcommand("list",
                     "List every connected board: BUS-PORT for --board, address, firmware state")
      ->callback([&globals, &exitStatus] { exitStatus = listBoards(globals); });
}

}  // namespace kv4410::cli
