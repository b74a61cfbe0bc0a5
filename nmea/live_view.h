// The texts of the eight live position labels, without any widget: the window
// binds its labels to it, the CLI prints it, tests read it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct PositionRecord;

// Control ids of the position labels, as in the dialog template.
inline constexpr int kIdLat = 1030;
inline constexpr int kIdLon = 1031;
inline constexpr int kIdUtcTime = 1032;
inline constexpr int kIdUtcDate = 1033;
inline constexpr int kIdFixMode = 1034;
inline constexpr int kIdSpeed = 1035;
inline constexpr int kIdAltitude = 1038;
inline constexpr int kIdHdop = 1039;

inline constexpr std::array<int, 8> kLiveFieldIds = {kIdLat,     kIdLon,   kIdUtcTime,  kIdUtcDate,
                                                     kIdFixMode, kIdSpeed, kIdAltitude, kIdHdop};

// Lives on the user-interface thread; takes no lock.
class LiveView {
 public:
  // Called after every set-text, with the control id and the new text.
  using Observer = std::function<void(int id, const std::string& text)>;
  using Handle = std::uint64_t;

  // The text of the label with this control id; empty for an unknown id.
  const std::string& Text(int id) const;
  // Sets the text and tells every observer (also when it did not change, as
  // a label's set-text repaints). An unknown id is ignored.
  void SetText(int id, const std::string& text);

  // Observers may add or remove observers, themselves included, while
  // being told; one added then is told from the next change on.
  Handle AddObserver(Observer observer);
  // Returns false when the handle is not (or no longer) registered.
  bool RemoveObserver(Handle handle);

  // The three resets of the position record (m_b_rmc_valid is kept):
  // start of a test: empty the six strings and all eight labels.
  void ResetAtTestStart(PositionRecord& record);
  // GNSS engine just started (WM_USER+1005): empty the six strings only.
  void ResetAtRunStart(PositionRecord& record);
  // End of a run: empty the strings, altitude and HDOP, then redraw the
  // other six labels from the emptied record.
  void ResetAtRunEnd(PositionRecord& record);

 private:
  static int Slot(int id);

  std::array<std::string, kLiveFieldIds.size()> texts_;
  // Held by shared pointer so an observer that adds another (and so moves
  // the vector) is not moved while it runs.
  std::vector<std::pair<Handle, std::shared_ptr<Observer>>> observers_;
  Handle next_handle_ = 1;
  int notifying_ = 0;
  bool removed_while_notifying_ = false;
};
