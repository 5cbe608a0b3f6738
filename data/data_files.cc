#include "data/data_files.h"

namespace dravel {

DataFiles::DataFiles(vantrexo::FixedText<2>& status)
    : status_(status), records_{Record(describe(FileId::paramet).record_length),
                                Record(describe(FileId::usuario).record_length),
                                Record(describe(FileId::tabemar).record_length),
                                Record(describe(FileId::produto).record_length),
                                Record(describe(FileId::histmov).record_length),
                                Record(describe(FileId::histval).record_length)} {}

DataFiles::~DataFiles() {
  for (auto& h : handles_) {
    if (h) h->close();
  }
}

void DataFiles::register_files(vrx::FileStore& store) { store_ = &store; }

vrx::FileStatus DataFiles::report(vrx::FileStatus s) {
  status_.assign(s.code());
  return s;
}

vrx::FileStatus DataFiles::open(FileId file) {
  status_.assign("00");
  auto& handle = handles_[index(file)];
  if (handle) return report(vrx::FileStatus::already_open());
  if (store_ == nullptr) return report(vrx::FileStatus::missing_file());
  vrx::OpenResult r = store_->open(describe(file), open_mode(file));
  if (r.status.ok()) handle = std::move(r.file);
  return report(r.status);
}

vrx::FileStatus DataFiles::close(FileId file) {
  status_.assign("00");
  auto& handle = handles_[index(file)];
  if (!handle) return report(vrx::FileStatus::not_open_to_close());
  vrx::FileStatus s = handle->close();
  handle.reset();
  return report(s);
}

vrx::FileStatus DataFiles::read(FileId file) {
  status_.assign("00");
  auto& handle = handles_[index(file)];
  if (!handle) return report(vrx::FileStatus::not_open());
  return report(handle->read(record(file).area()));
}

vrx::FileStatus DataFiles::start(FileId file, std::size_t key) {
  status_.assign("00");
  auto& handle = handles_[index(file)];
  if (!handle) return report(vrx::FileStatus::not_open());
  return report(handle->start(key, record(file).area()));
}

vrx::FileStatus DataFiles::read_next(FileId file) {
  status_.assign("00");
  auto& handle = handles_[index(file)];
  if (!handle) return report(vrx::FileStatus::not_open());
  return report(handle->read_next(record(file).area()));
}

vrx::FileStatus DataFiles::unlock(FileId file) {
  status_.assign("00");
  auto& handle = handles_[index(file)];
  if (!handle) return report(vrx::FileStatus::not_open());
  return report(handle->unlock());
}

vrx::FileStatus DataFiles::remove(FileId file) {
  status_.assign("00");
  auto& handle = handles_[index(file)];
  if (!handle) return report(vrx::FileStatus::not_open_for_update());
  return report(handle->remove(record(file).area()));
}

void DataFiles::commit_all() noexcept {
  for (auto& h : handles_) {
    if (!h) continue;
    try {
      h->commit();
    } catch (...) {
      // Reported by nobody: the engine reports through statuses, and a
      // failed commit keeps its deletions pending for the next one.
    }
  }
}

bool DataFiles::is_open(FileId file) const { return handles_[index(file)] != nullptr; }

}  // namespace dravel
