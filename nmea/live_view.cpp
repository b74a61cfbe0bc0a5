#include "nmea/live_view.h"

#include <algorithm>

#include "nmea/position_record.h"

int LiveView::Slot(int id) {
  for (std::size_t i = 0; i < kLiveFieldIds.size(); ++i) {
    if (kLiveFieldIds[i] == id)
      return static_cast<int>(i);
  }
  return -1;
}

const std::string& LiveView::Text(int id) const {
  static const std::string kEmpty;
  const int slot = Slot(id);
  return slot < 0 ? kEmpty : texts_[slot];
}

void LiveView::SetText(int id, const std::string& text) {
  const int slot = Slot(id);
  if (slot < 0)
    return;
  texts_[slot] = text;
  if (observers_.empty())
    return;
  // Index walk over the observers present now: an observer may add or remove
  // entries meanwhile; removed ones are blanked and swept afterwards.
  ++notifying_;
  const std::size_t count = observers_.size();
  for (std::size_t i = 0; i < count; ++i) {
    std::shared_ptr<Observer> observer = observers_[i].second;
    if (observer)
      (*observer)(id, texts_[slot]);
  }
  if (--notifying_ == 0 && removed_while_notifying_) {
    removed_while_notifying_ = false;
    std::erase_if(observers_, [](const auto& entry) { return !entry.second; });
  }
}

LiveView::Handle LiveView::AddObserver(Observer observer) {
  if (!observer)
    return 0;
  const Handle handle = next_handle_++;
  observers_.emplace_back(handle, std::make_shared<Observer>(std::move(observer)));
  return handle;
}

bool LiveView::RemoveObserver(Handle handle) {
  for (auto it = observers_.begin(); it != observers_.end(); ++it) {
    if (it->first != handle || !it->second)
      continue;
    if (notifying_ > 0) {
      it->second.reset();
      removed_while_notifying_ = true;
    } else {
      observers_.erase(it);
    }
    return true;
  }
  return false;
}

void LiveView::ResetAtTestStart(PositionRecord& record) {
  record.ClearStrings();
  for (int id : kLiveFieldIds)
    SetText(id, std::string());
}

void LiveView::ResetAtRunStart(PositionRecord& record) {
  record.ClearStrings();
}

void LiveView::ResetAtRunEnd(PositionRecord& record) {
  record.ClearStrings();
  SetText(kIdAltitude, std::string());
  SetText(kIdHdop, std::string());
  UpdatePositionDisplay(record, *this);
}
