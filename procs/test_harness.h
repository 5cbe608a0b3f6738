// The program under test, in-process: a Program over the recording form and
// real data files on a temporary drive, through a store that logs every file
// operation ("open PRODUTO", "read TABEMAR ABC", "delete HISTVAL 000010...")
// and can be told to throw on an open or to fail a Read next.
#ifndef PROCS_TEST_HARNESS_H_
#define PROCS_TEST_HARNESS_H_

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/program.h"
#include "common/form_ids.h"
#include "common/recording_form.h"
#include "platform/files/sqlite_store.h"
#include "platform/shared_areas.h"
#include "procs/test_files.h"

namespace dravel::testing {

// The file operations of the program, one line each.
struct FileLog {
  std::vector<std::string> lines;
  std::set<std::string> throw_on_open;                      // logical names
  std::map<std::string, std::string> read_next_fails_with;  // logical name -> status
  bool log_commits = false;                                 // commits with something to do
  std::map<std::string, std::string> commit_fails_with;     // logical name -> status
  std::map<std::string, std::string> delete_fails_with;     // logical name -> status
  std::function<void(const std::string& line)> after_delete;
  std::vector<std::string> with_prefix(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const auto& l : lines) {
      if (l.starts_with(prefix)) found.push_back(l);
    }
    return found;
  }
};

class LoggedFile : public vrx::IndexedFile {
 public:
  LoggedFile(std::unique_ptr<vrx::IndexedFile> inner, vrx::FileDescription description,
             FileLog& log)
      : inner_(std::move(inner)), description_(std::move(description)), log_(log) {}

  vrx::FileStatus read(vrx::RecordArea area) override {
    const std::string key = primary(area);
    const vrx::FileStatus s = inner_->read(area);
    add("read", key, s);
    return s;
  }
  vrx::FileStatus start(std::size_t key, vrx::ConstRecordArea area) override {
    const auto& k = description_.keys.at(key);
    const vrx::FileStatus s = inner_->start(key, area);
    add("start " + std::to_string(key), std::string(area.data() + k.offset, k.length), s);
    return s;
  }
  vrx::FileStatus read_next(vrx::RecordArea area) override {
    auto injected = log_.read_next_fails_with.find(description_.name);
    if (injected != log_.read_next_fails_with.end()) {
      const vrx::FileStatus s(injected->second);
      add("read next", "", s);
      return s;
    }
    const vrx::FileStatus s = inner_->read_next(area);
    add("read next", s.ok() ? primary(area) : "", s);
    return s;
  }
  vrx::FileStatus unlock() override {
    const vrx::FileStatus s = inner_->unlock();
    add("unlock", "", s);
    return s;
  }
  vrx::FileStatus remove(vrx::ConstRecordArea area) override {
    auto injected = log_.delete_fails_with.find(description_.name);
    const vrx::FileStatus s = injected != log_.delete_fails_with.end()
                                  ? vrx::FileStatus(injected->second)
                                  : inner_->remove(area);
    add("delete", primary(area), s);
    if (log_.after_delete) log_.after_delete(log_.lines.back());
    return s;
  }
  // An injected failure undoes the pending deletions, as a failing commit does.
  vrx::FileStatus commit() override {
    auto injected = log_.commit_fails_with.find(description_.name);
    const vrx::FileStatus s = injected != log_.commit_fails_with.end()
                                  ? (inner_->rollback(), vrx::FileStatus(injected->second))
                                  : inner_->commit();
    if (log_.log_commits) add("commit", "", s);
    return s;
  }
  vrx::FileStatus rollback() override {
    const vrx::FileStatus s = inner_->rollback();
    add("rollback", "", s);
    return s;
  }
  vrx::FileStatus close() override {
    const vrx::FileStatus s = inner_->close();
    add("close", "", s);
    return s;
  }

 private:
  std::string primary(vrx::ConstRecordArea area) const {
    const auto& k = description_.keys.at(0);
    return std::string(area.data() + k.offset, k.length);
  }
  void add(std::string_view op, std::string_view key, const vrx::FileStatus& s) {
    std::string line(op);
    line += ' ';
    line += description_.name;
    if (!key.empty()) {
      line += ' ';
      line += key;
    }
    if (!s.ok()) {
      line += " -> ";
      line += s.code();
    }
    log_.lines.push_back(std::move(line));
  }

  std::unique_ptr<vrx::IndexedFile> inner_;
  vrx::FileDescription description_;
  FileLog& log_;
};

class LoggedStore : public vrx::FileStore {
 public:
  explicit LoggedStore(const std::filesystem::path& drive) : inner_(drive) {}
  FileLog log;

  vrx::OpenResult open(const vrx::FileDescription& description, vrx::OpenMode mode) override {
    if (log.throw_on_open.count(description.name) > 0) {
      throw std::runtime_error("open " + description.name);
    }
    vrx::OpenResult r = inner_.open(description, mode);
    std::string line = "open " + description.name;
    line += mode == vrx::OpenMode::input ? " input" : " input-output";
    if (!r.status.ok()) line += " -> " + std::string(r.status.code());
    log.lines.push_back(line);
    if (r.file) r.file = std::make_unique<LoggedFile>(std::move(r.file), description, log);
    return r;
  }

 private:
  vrx::SqliteFileStore inner_;
};

inline constexpr std::string_view kOperator = "OPERADOR";

class Harness {
 public:
  // The operator's name is put into LK-USUARIO before the program attaches
  // L-LINK, as the system's start-up would.
  explicit Harness(std::string_view user = kOperator) {
    std::span<char> link = registry.attach("L-LINK", 332);
    std::fill(link.end() - 20, link.end(), ' ');
    std::copy(user.begin(), user.end(), link.end() - 20);
  }

  TestDrive drive;
  RecordingForm form;
  vantrexo::SharedAreaRegistry registry;
  LoggedStore store{drive.root()};
  vantrexo::ObjectTable objects = test_objects();
  // Made on first use, after the test has prepared the drive.
  Program& program() {
    if (!program_) program_ = std::make_unique<Program>(form, store, registry);
    return *program_;
  }

  void event(std::int32_t object_id, std::int32_t event_id) {
    program().route(objects, object_id, event_id, nullptr, nullptr, nullptr);
  }
  // A key-down on the form; returns the key code the runtime gets back.
  std::int16_t key(std::int16_t code, std::int16_t shift = 0) {
    vantrexo::EventParams params{code, shift};
    vantrexo::CopyBackArea copy_back;
    vantrexo::KeyEventBlock block;
    program().route(objects, ids::form, vantrexo::event_id::form_key_down, &params, &copy_back,
                    &block);
    last_copy_back = copy_back;
    last_block = block;
    return params.key_code;
  }
  void open_form() { event(ids::form, vantrexo::event_id::form_opened); }
  void close_form() { event(ids::form, vantrexo::event_id::form_closed); }
  // The operator types `code` into Ed_CODIMAR and leaves it.
  void leave_brand(std::string_view code) {
    form.type_into(ids::ed_codimar, code);
    event(ids::ed_codimar, vantrexo::event_id::lost_focus);
  }
  void click_exclui() { event(ids::bt_exc, vantrexo::event_id::click); }
  void click_search() { event(ids::command1, vantrexo::event_id::click); }

  std::string_view link() { return as_view(registry.attach("L-LINK", 332)); }
  std::string_view link_emp() { return as_view(registry.attach("L-LINK-EMP", 99)); }
  std::string lk_codigo() { return std::string(link().substr(22, 3)); }

  vantrexo::CopyBackArea last_copy_back;
  vantrexo::KeyEventBlock last_block;

 private:
  static std::string_view as_view(std::span<char> s) { return {s.data(), s.size()}; }
  std::unique_ptr<Program> program_;
};

// The text of a control: `text` filled out with spaces to 256 characters.
inline std::string control_text(std::string_view text) {
  std::string t(vantrexo::kControlTextWidth, ' ');
  std::copy_n(text.begin(), std::min(text.size(), t.size()), t.begin());
  return t;
}

}  // namespace dravel::testing

#endif  // PROCS_TEST_HARNESS_H_
