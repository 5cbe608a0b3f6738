// The scripted runtime against a small stand-in program that records every
// event it is given and does what each test asks of the form.
#include "platform/script/script_runtime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/form_ids.h"
#include "form/form_description.h"

namespace vantrexo::script {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string padded(std::string_view text, std::size_t width) {
  std::string s(text);
  s.resize(width, ' ');
  return s;
}

std::string event_name(std::int32_t event) {
  switch (event) {
    case event_id::form_opened:
      return "opened";
    case event_id::form_closed:
      return "closed";
    case event_id::form_key_down:
      return "key";
    case event_id::got_focus:
      return "got";
    case event_id::lost_focus:
      return "lost";
    case event_id::click:
      return "click";
    default:
      return std::to_string(event);
  }
}

// Routes like the program: keeps an Enter-as-Tab switch from the buttons'
// focus events, hands the key block over and back, and guards every call
// into the runtime (a failure or anything thrown is reported, and it goes on).
struct StubProgram {
  FormServices* form = nullptr;
  const ModuleDescription& module = dravel::dravel_marks_description();
  std::vector<std::string> events;
  char w_enter = '\0';
  bool copy_back = true;
  // Extra work per "Control event", run after the event is recorded.
  std::map<std::string, std::function<void(const ObjectTable&)>> on;

  bool guarded(std::string_view what, const std::function<bool()>& call) {
    bool ok = false;
    try {
      ok = call();
    } catch (...) {
      ok = false;
    }
    if (!ok) form->report_failure(16, what);
    return ok;
  }

  RoutingEntry entry() {
    return [this](const ObjectTable& objects, std::int32_t object_id, std::int32_t event_id,
                  EventParams* params, CopyBackArea* copy_back_area, KeyEventBlock* block) {
      const std::string key =
          std::string(module.find(object_id)->name) + " " + event_name(event_id);
      events.push_back(key);
      const bool button = object_id == dravel::ids::bt_exc || object_id == dravel::ids::command1;
      if (event_id == event_id::form_opened) w_enter = 'E';
      if (button && event_id == event_id::got_focus) w_enter = 'T';
      if (button && event_id == event_id::lost_focus) w_enter = 'E';
      if (event_id == event_id::form_key_down) {
        block->descriptor = kKeyBlockDescriptor;
        guarded("fill", [&] { return form->key_event_fill(*params, *block); });
        if (block->key_code == 13 && w_enter == 'E') block->key_code = 9;
        if (copy_back) {
          guarded("copy back",
                  [&] { return form->key_event_copy_back(*params, *block, *copy_back_area); });
        }
      }
      if (auto it = on.find(key); it != on.end()) it->second(objects);
    };
  }

  std::int32_t message_box(const ObjectTable& objects, std::string_view text, std::int32_t style) {
    std::int32_t result = 0;
    Invocation call;
    call.object = objects[dravel::table::form];
    call.member = member_id::message_box;
    call.result_type = kResultInteger;
    call.result = &result;
    call.arguments = {{arg_type::text_first, padded(text, kArgumentTextWidth), 0},
                      {arg_type::integer, {}, style}};
    guarded("message box", [&] { return form->invoke_by_id(call); });
    return result;
  }
  bool invoke(const ObjectTable& objects, std::size_t position, std::int64_t member,
              std::vector<InvokeArgument> arguments = {}, InvokeKind kind = InvokeKind::method) {
    Invocation call;
    call.object = objects[position];
    call.member = member;
    call.kind = kind;
    call.arguments = std::move(arguments);
    return guarded("invoke", [&] { return form->invoke_by_id(call); });
  }
  void set_text(const ObjectTable& objects, std::size_t position, std::string_view text) {
    const std::string t = padded(text, kControlTextWidth);
    guarded("set_text", [&] {
      return form->set_text(objects[position],
                            std::span<const char, kControlTextWidth>(t.data(), kControlTextWidth));
    });
  }
  std::string get_text(const ObjectTable& objects, std::size_t position) {
    std::string t(kControlTextWidth, '?');
    guarded("get_text", [&] {
      return form->get_text(objects[position],
                            std::span<char, kControlTextWidth>(t.data(), kControlTextWidth));
    });
    return t;
  }
};

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class ScriptRuntimeTest : public ::testing::Test {
 protected:
  Outcome run(const std::string& script) {
    std::istringstream in(script);
    runtime_.emplace(stub_.module, areas_, out_, err_);
    stub_.form = &*runtime_;
    Outcome r;
    r.status = runtime_->run(stub_.entry(), in);
    r.out = out_.str();
    r.err = err_.str();
    return r;
  }

  StubProgram stub_;
  SharedAreaRegistry areas_;
  std::ostringstream out_, err_;
  std::optional<ScriptRuntime> runtime_;
};

TEST_F(ScriptRuntimeTest, OpensWithTheFocusInTheTextBoxAndEndsWithTheInput) {
  const Outcome r = run("");
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out, "focus Ed_CODIMAR\nclose\n");
  // The initial focus raises no focus event.
  EXPECT_THAT(stub_.events, ElementsAre("DRAVEL_MARKS opened", "DRAVEL_MARKS closed"));
}

TEST_F(ScriptRuntimeTest, TabCyclesTheTabStopsAndShiftTabGoesBack) {
  const Outcome r = run("key 9\nkey 9\nkey 9\nkey 9 1\n");
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\nfocus Bt_EXC\nfocus Command1\nfocus Ed_CODIMAR\nfocus Command1\n"
            "close\n");
  EXPECT_THAT(stub_.events,
              ElementsAre("DRAVEL_MARKS opened",                                  //
                          "DRAVEL_MARKS key", "Ed_CODIMAR lost", "Bt_EXC got",    //
                          "DRAVEL_MARKS key", "Bt_EXC lost", "Command1 got",      //
                          "DRAVEL_MARKS key", "Command1 lost", "Ed_CODIMAR got",  //
                          "DRAVEL_MARKS key", "Ed_CODIMAR lost", "Command1 got",  //
                          "DRAVEL_MARKS closed"));
}

TEST_F(ScriptRuntimeTest, TheKeyCodeCopiedBackIsTheOneActedOn) {
  std::vector<std::string> texts;
  stub_.on["Ed_CODIMAR lost"] = [&](const ObjectTable& o) {
    texts.push_back(stub_.get_text(o, dravel::table::ed_codimar));
  };
  // Enter in the text box becomes Tab; Enter on a button clicks it, and so
  // does Space; Enter in the text box with the switch off does nothing.
  const Outcome r = run("type 001\nkey 13\nkey 13\nkey 32 1\nclick Ed_CODIMAR\nkey 13 2\n");
  EXPECT_EQ(r.out, "focus Ed_CODIMAR\nfocus Bt_EXC\nfocus Ed_CODIMAR\nfocus Bt_EXC\nclose\n");
  EXPECT_THAT(stub_.events,
              ElementsAre("DRAVEL_MARKS opened",                                //
                          "DRAVEL_MARKS key", "Ed_CODIMAR lost", "Bt_EXC got",  //
                          "DRAVEL_MARKS key", "Bt_EXC click",                   //
                          "DRAVEL_MARKS key", "Bt_EXC click",                   //
                          "Bt_EXC lost", "Ed_CODIMAR got", "Ed_CODIMAR click",  //
                          "DRAVEL_MARKS key", "Ed_CODIMAR lost", "Bt_EXC got",  //
                          "DRAVEL_MARKS closed"));
  EXPECT_THAT(texts, ElementsAre(padded("001", 256), padded("001", 256)));
}

TEST_F(ScriptRuntimeTest, WithoutTheCopyBackTheKeyActsAsPressed) {
  stub_.copy_back = false;
  const Outcome r = run("key 13\nkey 9\n");
  EXPECT_EQ(r.out, "focus Ed_CODIMAR\nfocus Bt_EXC\nclose\n");
}

TEST_F(ScriptRuntimeTest, AClickGivesATabStopTheFocusFirstAndDisabledControlsTakeNone) {
  const Outcome r =
      run("click Command1\nclick Command1\nclick Ds_MAR\nclick Frm_Chave1\nclick Static66\n"
          "click Image1\nclick Frm_Dsp\n");
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out, "focus Ed_CODIMAR\nfocus Command1\nclose\n");
  EXPECT_THAT(stub_.events, ElementsAre("DRAVEL_MARKS opened", "Ed_CODIMAR lost", "Command1 got",
                                        "Command1 click", "Command1 click", "Ds_MAR click",
                                        "Frm_Dsp click", "DRAVEL_MARKS closed"));
}

TEST_F(ScriptRuntimeTest, YesNoBoxesTakeTheQueuedAnswersAndOkBoxesTakeNone) {
  std::vector<std::int32_t> answers;
  stub_.on["Bt_EXC click"] = [&](const ObjectTable& o) {
    answers.push_back(stub_.message_box(o, "Tenta novamente ?", 36));
    answers.push_back(stub_.message_box(o, "Aviso", 48));
    answers.push_back(stub_.message_box(o, "Tenta novamente ?", 36));
  };
  const Outcome r = run("answer 6\nanswer 7\nclick Bt_EXC\n");
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\nfocus Bt_EXC\n"
            "msgbox 36 \"Tenta novamente ?\" -> 6\n"
            "msgbox 48 \"Aviso\" -> 1\n"
            "msgbox 36 \"Tenta novamente ?\" -> 7\n"
            "close\n");
  EXPECT_THAT(answers, ElementsAre(6, 1, 7));
}

TEST_F(ScriptRuntimeTest, AYesNoBoxWithoutAnAnswerStopsTheRun) {
  std::vector<std::int32_t> answers;
  stub_.on["Bt_EXC click"] = [&](const ObjectTable& o) {
    answers.push_back(stub_.message_box(o, "Tenta novamente ?", 36));
    if (answers.size() < 2) return;
    // The program goes on to its end; nothing it asks of the form shows.
    stub_.set_text(o, dravel::table::ds_mar, "depois");
    stub_.invoke(o, dravel::table::form, member_id::close_form);
  };
  const Outcome r = run("# first\nanswer 6\n\nclick Bt_EXC\nclick Bt_EXC\nclick Command1\n");
  EXPECT_EQ(r.status, kExitNoAnswer);
  EXPECT_EQ(r.out, "focus Ed_CODIMAR\nfocus Bt_EXC\nmsgbox 36 \"Tenta novamente ?\" -> 6\n");
  EXPECT_THAT(r.err,
              HasSubstr("line 5: no answer queued for the Yes/No box \"Tenta novamente ?\""));
  EXPECT_THAT(answers, ElementsAre(6, 7));  // a broken box counts as No
  // No further event, not even the form-closed one.
  EXPECT_EQ(stub_.events.back(), "Bt_EXC click");
}

TEST_F(ScriptRuntimeTest, ThrowingTheStopThroughAProgramThatDoesNotCatchEndsTheRunToo) {
  stub_.on["DRAVEL_MARKS opened"] = [&](const ObjectTable& o) {
    std::int32_t result = 0;
    Invocation call;
    call.object = o[dravel::table::form];
    call.member = member_id::message_box;
    call.result_type = kResultInteger;
    call.result = &result;
    call.arguments = {{arg_type::text_first, padded("?", kArgumentTextWidth), 0},
                      {arg_type::integer, {}, 36}};
    stub_.form->invoke_by_id(call);  // unguarded
    ADD_FAILURE() << "the stop did not unwind";
  };
  const Outcome r = run("key 9\n");
  EXPECT_EQ(r.status, kExitNoAnswer);
  EXPECT_EQ(r.out, "focus Ed_CODIMAR\n");
  EXPECT_THAT(stub_.events, ElementsAre("DRAVEL_MARKS opened"));
}

TEST_F(ScriptRuntimeTest, TheCloseMethodClosesTheFormAfterTheCurrentEvent) {
  stub_.on["DRAVEL_MARKS opened"] = [&](const ObjectTable& o) {
    stub_.message_box(o, "Arquivo PRODUTO Inexistente !!!", 16);
    stub_.invoke(o, dravel::table::form, member_id::close_form);
    stub_.set_text(o, dravel::table::ds_mar, "still here");
  };
  const Outcome r = run("type 001\nkey 9\n");
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\nmsgbox 16 \"Arquivo PRODUTO Inexistente !!!\" -> 1\n"
            "text Ds_MAR \"still here\"\nclose\n");
  // The closed event comes after the opened one has finished; the script's
  // lines are not run.
  EXPECT_THAT(stub_.events, ElementsAre("DRAVEL_MARKS opened", "DRAVEL_MARKS closed"));
}

TEST_F(ScriptRuntimeTest, SetFocusShowsAtOnceAndRaisesItsEventsAfterTheEvent) {
  std::vector<std::string> codes;
  stub_.on["Command1 click"] = [&](const ObjectTable& o) {
    std::span<char> link = areas_.attach("L-LINK", 332);
    std::fill_n(link.begin() + 19, 6, ' ');
    std::copy_n("MAR", 3, link.begin() + 19);
    Invocation call;
    call.object = o[dravel::table::form];
    call.member = member_id::call_form;
    call.arguments = {
        {arg_type::text_first, padded("99-Qrv_Tabelas", kArgumentTextWidth), 0},
        {arg_type::text_second, padded("999999-Quervilos.DLL", kArgumentTextWidth), 0}};
    stub_.guarded("call form 99-Qrv_Tabelas", [&] { return stub_.form->invoke_by_id(call); });
    codes.emplace_back(link.data() + 22, 3);
    stub_.set_text(o, dravel::table::ed_codimar, codes.back());
    stub_.invoke(o, dravel::table::ed_codimar, member_id::set_focus);
    stub_.set_text(o, dravel::table::ds_mar, "after focus");
  };
  const Outcome r =
      run("lookup AB\nclick Command1\nlookup fail\nlookup none\nclick Command1\nclick Command1\n"
          "click Command1\n");
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\nfocus Command1\n"
            "call \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"\n"
            "text Ed_CODIMAR \"AB\"\nfocus Ed_CODIMAR\ntext Ds_MAR \"after focus\"\n"
            "focus Command1\nfailure 16 \"call form 99-Qrv_Tabelas\"\n"
            "text Ed_CODIMAR \"\"\nfocus Ed_CODIMAR\ntext Ds_MAR \"after focus\"\n"
            "focus Command1\ncall \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"\n"
            "text Ed_CODIMAR \"\"\nfocus Ed_CODIMAR\ntext Ds_MAR \"after focus\"\n"
            "focus Command1\ncall \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"\n"
            "text Ed_CODIMAR \"\"\nfocus Ed_CODIMAR\ntext Ds_MAR \"after focus\"\n"
            "close\n");
  EXPECT_EQ(r.err, "DRAVEL_MARKS: failure 16: call form 99-Qrv_Tabelas\n");
  EXPECT_THAT(codes, ElementsAre("AB ", "   ", "   ", "   "));
  EXPECT_THAT(std::vector<std::string>(stub_.events.begin() + 1, stub_.events.begin() + 6),
              ElementsAre("Ed_CODIMAR lost", "Command1 got", "Command1 click", "Command1 lost",
                          "Ed_CODIMAR got"));
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
}

TEST_F(ScriptRuntimeTest, TypingKeepsThreeCharactersConvertsUtf8AndIsIgnoredOnButtons) {
  std::vector<std::string> texts;
  stub_.on["Ed_CODIMAR lost"] = [&](const ObjectTable& o) {
    texts.push_back(stub_.get_text(o, dravel::table::ed_codimar));
  };
  const Outcome r =
      run("type ABCD\nkey 9\ntype XYZ\nkey 9 1\ntype \xC3\xA7\xC3\xA3o\nkey 9\nkey 9 1\ntype\n"
          "key 9\ntype  A \nkey 9 1\n");
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_THAT(texts, ElementsAre(padded("ABC", 256), padded("\xE7\xE3o", 256), padded("", 256)));
  EXPECT_EQ(runtime_->text_of("Ed_CODIMAR"), "");  // typed into Bt_EXC: nothing changed
}

TEST_F(ScriptRuntimeTest, TranscriptTextsAreUtf8TrimmedAndQuoted) {
  stub_.on["DRAVEL_MARKS opened"] = [&](const ObjectTable& o) {
    stub_.set_text(o, dravel::table::ds_mar, "*** Inexistente ***      ");
    stub_.set_text(o, dravel::table::ds_mar, "1234567890123456789012345six");
    stub_.invoke(o, dravel::table::frm_dsp, member_id::caption,
                 {{arg_type::text_first,
                   padded("Elimina\xE7\xF5"
                          "es \"x\\y\"",
                          8192),
                   0}},
                 InvokeKind::property_put);
    stub_.invoke(o, dravel::table::frm_dsp, member_id::refresh);
    stub_.message_box(o,
                      padded("Fim da Elimina\xE7\xF5"
                             "es !!!",
                             120),
                      48);
    // What the form does not have fails and is reported.
    stub_.invoke(o, dravel::table::frm_dsp, 0x12345);
    stub_.invoke(o, dravel::table::ds_mar, member_id::set_focus);
    stub_.invoke(o, 9, member_id::refresh);  // an unused table position
  };
  const Outcome r = run("");
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\n"
            "text Ds_MAR \"*** Inexistente ***\"\n"
            "text Ds_MAR \"1234567890123456789012345\"\n"
            "caption Frm_Dsp \"Elimina\xC3\xA7\xC3\xB5"
            "es \\\"x\\\\y\\\"\"\n"
            "refresh Frm_Dsp\n"
            "msgbox 48 \"Fim da Elimina\xC3\xA7\xC3\xB5"
            "es !!!\" -> 1\n"
            "failure 16 \"invoke\"\nfailure 16 \"invoke\"\nfailure 16 \"invoke\"\n"
            "close\n");
  EXPECT_EQ(runtime_->text_of("Frm_Dsp"),
            "Elimina\xE7\xF5"
            "es \"x\\y\"");
}

struct BadLine {
  const char* line;
  const char* says;
};

class ScriptErrorTest : public ScriptRuntimeTest, public ::testing::WithParamInterface<BadLine> {};

TEST_P(ScriptErrorTest, StopsWithStatus2AndTheLineNumber) {
  const Outcome r = run(std::string("# comment\n\nkey 9\n") + GetParam().line + "\nkey 9\n");
  EXPECT_EQ(r.status, kExitScriptError);
  EXPECT_THAT(r.err, HasSubstr("dravel-script: line 4: "));
  EXPECT_THAT(r.err, HasSubstr(GetParam().says));
  // Nothing of the lines after it ran; the form is not closed either.
  EXPECT_EQ(r.out, "focus Ed_CODIMAR\nfocus Bt_EXC\n");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptErrorTest,
    ::testing::Values(BadLine{"press 9", "unknown command"}, BadLine{"key", "usage"},
                      BadLine{"key x", "key code"}, BadLine{"key 300", "key code"},
                      BadLine{"key 9 8", "modifier"}, BadLine{"key 9 1 1", "usage"},
                      BadLine{"click Nothing", "no control"}, BadLine{"answer", "usage"},
                      BadLine{"answer 6 1", "an answer is 6"}, BadLine{"lookup", "usage"},
                      BadLine{"lookup ABCD", "usage"}, BadLine{"close now", "no arguments"},
                      BadLine{"type \xFF", "UTF-8"}, BadLine{"type \xE4\xB8\xAD", "Windows-1252"},
                      BadLine{"type \"AB", "quoted"}, BadLine{"type \"A\"B\"", "quoted"},
                      BadLine{"type \"\\q\"", "quoted"}, BadLine{"type \"\\x4\"", "quoted"},
                      BadLine{"type \"\\xG0\"", "quoted"}, BadLine{"type \"\xFF\"", "quoted"}));

}  // namespace
}  // namespace vantrexo::script
