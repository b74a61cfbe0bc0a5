#include "sim/truth_log.h"

#include <nlohmann/json.hpp>

namespace sim {

std::string TruthRecord::ToJson() const {
  nlohmann::json j;
  j["start"] = start;
  j["run"] = run;
  j["restart_type"] = restart_type;
  j["assisted"] = assisted;
  j["replay"] = replay;
  j["ok_us"] = ok_us;
  j["ttff_drawn_us"] = ttff_drawn_us < 0 ? nlohmann::json(nullptr) : nlohmann::json(ttff_drawn_us);
  j["fix_us"] = fix_us < 0 ? nlohmann::json(nullptr) : nlohmann::json(fix_us);
  j["fix_epoch"] = fix_epoch < 0 ? nlohmann::json(nullptr) : nlohmann::json(fix_epoch);
  j["ttff_us"] = fix_us < 0 ? nlohmann::json(nullptr) : nlohmann::json(fix_us - ok_us);
  // The phases as monotonic us, and as ms after the "OK" like the tool's CSV.
  for (const auto& [name, us] :
       {std::pair{"first_snr", first_snr_us}, std::pair{"first_2d", first_2d_us},
        std::pair{"first_3d", first_3d_us}}) {
    const std::string key = name;
    j[key + "_us"] = us < 0 ? nlohmann::json(nullptr) : nlohmann::json(us);
  }
  for (const auto& [name, us] :
       {std::pair{"first_snr", first_snr_us}, std::pair{"first_2d", first_2d_us},
        std::pair{"first_3d", first_3d_us}, std::pair{"fix", fix_us}}) {
    const std::string key = name;
    j[key + "_ms"] =
        us < 0 ? nlohmann::json(nullptr) : nlohmann::json(static_cast<double>(us - ok_us) / 1000.0);
  }
  for (const auto& [prefix, position] :
       {std::pair{"fix", &fix_position}, std::pair{"true", &true_position}}) {
    if (!*position)
      continue;
    const std::string p = prefix;
    j[p + "_lat"] = (*position)->lat_deg;
    j[p + "_lon"] = (*position)->lon_deg;
    if ((*position)->alt_m)
      j[p + "_alt_m"] = *(*position)->alt_m;
  }
  return j.dump();
}

TruthLog::~TruthLog() {
  CloseAll();
  if (file_)
    std::fclose(file_);
}

bool TruthLog::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (file_)
    std::fclose(file_);
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void TruthLog::Reset() {
  std::lock_guard lock(mutex_);
  records_.clear();
  if (file_)
    std::fclose(file_);
  file_ = nullptr;
}

std::size_t TruthLog::Begin(const TruthRecord& record) {
  std::lock_guard lock(mutex_);
  records_.push_back(record);
  records_.back().start = static_cast<int>(records_.size());
  return records_.size() - 1;
}

void TruthLog::SetFix(std::size_t index, std::int64_t fix_us, int epoch,
                      std::optional<GeoPosition> fix_position) {
  std::lock_guard lock(mutex_);
  if (index >= records_.size() || records_[index].fix_us >= 0)
    return;
  records_[index].fix_us = fix_us;
  records_[index].fix_epoch = epoch;
  records_[index].fix_position = fix_position;
  if (!records_[index].closed && records_[index].Complete()) {
    records_[index].closed = true;
    WriteLocked(records_[index]);
  }
}

void TruthLog::SetPhase(std::size_t index, Phase phase, std::int64_t us) {
  std::lock_guard lock(mutex_);
  if (index >= records_.size())
    return;
  TruthRecord& r = records_[index];
  std::int64_t& slot = phase == Phase::kFirstSnr  ? r.first_snr_us
                       : phase == Phase::kFirst2d ? r.first_2d_us
                                                  : r.first_3d_us;
  if (slot >= 0)
    return;
  slot = us;
  if (!r.closed && r.Complete()) {
    r.closed = true;
    WriteLocked(r);
  }
}

void TruthLog::Close(std::size_t index) {
  std::lock_guard lock(mutex_);
  if (index >= records_.size() || records_[index].closed)
    return;
  records_[index].closed = true;
  WriteLocked(records_[index]);
}

void TruthLog::CloseAll() {
  std::lock_guard lock(mutex_);
  for (auto& record : records_) {
    if (record.closed)
      continue;
    record.closed = true;
    WriteLocked(record);
  }
}

std::vector<TruthRecord> TruthLog::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

void TruthLog::WriteLocked(const TruthRecord& record) {
  if (!file_)
    return;
  const std::string line = record.ToJson() + "\n";
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace sim
