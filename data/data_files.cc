#include "data/data_files.h"

namespace dravel {
namespace {

// Dependents first: a file's deletions may rest on those of the files before
// it (a product's on its histories').
constexpr std::array<FileId, kFileCount> kCommitOrder = {FileId::histval, FileId::histmov,
                                                         FileId::produto, FileId::tabemar,
                                                         FileId::usuario, FileId::paramet};

}  // namespace

DataFiles::DataFiles(vantrexo::FixedText<2>& status)
    : status_(status), records_{Record(describe(FileId::paramet).record_length),
                                Record(describe(FileId::usuario).record_length),
                                Record(describe(FileId::tabemar).record_length),
                                Record(describe(FileId::produto).record_length),
                                Record(describe(FileId::histmov).record_length),
                                Record(describe(FileId::histval).record_length)} {}

DataFiles::~DataFiles() {
  commit();
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
  // A close commits the file's pending deletions: those of the files they
  // rest on go first.
  if (pending_since_[index(file)]) commit();
  vrx::FileStatus s = handle->close();
  handle.reset();
  pending_since_[index(file)].reset();
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
  const vrx::FileStatus s = handle->remove(record(file).area());
  if (s.ok() && !pending_since_[index(file)]) {
    pending_since_[index(file)] = std::chrono::steady_clock::now();
  }
  return report(s);
}

std::optional<DataFiles::CommitFailure> DataFiles::commit() {
  std::optional<CommitFailure> failure;
  for (FileId file : kCommitOrder) {
    const std::size_t i = index(file);
    if (!handles_[i] || !pending_since_[i]) continue;
    if (failure) {
      rollback(file);
    } else if (!held_[i]) {
      pending_since_[i].reset();
      if (vrx::FileStatus s = handles_[i]->commit(); !s.ok()) failure = CommitFailure{file, s};
    }
  }
  return failure;
}

std::optional<DataFiles::CommitFailure> DataFiles::commit_if_due() {
  const auto now = std::chrono::steady_clock::now();
  for (const auto& since : pending_since_) {
    if (since && now - *since >= kGroupCommitDelay) return commit();
  }
  return std::nullopt;
}

vrx::FileStatus DataFiles::rollback(FileId file) {
  auto& handle = handles_[index(file)];
  if (!handle) return vrx::FileStatus::not_open();
  pending_since_[index(file)].reset();
  return handle->rollback();
}

bool DataFiles::is_open(FileId file) const { return handles_[index(file)] != nullptr; }

}  // namespace dravel
