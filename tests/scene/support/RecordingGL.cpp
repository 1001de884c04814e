#include "tests/scene/support/RecordingGL.h"

#include <algorithm>

namespace {

TRecordingGL* current = nullptr;

template <TGLEntry Entry, typename Signature>
struct TRecorder;

template <TGLEntry Entry, typename Result, typename... Args>
struct TRecorder<Entry, Result(Args...)> {
  static Result Call(Args... args) {
    TRecordingGL& gl = TRecordingGL::Current();
    gl.Calls.push_back(TGLCall{GLEntryName(Entry), {GLArgText(args)...}});
    return gl.Respond<Entry, Result>(std::tuple<Args...>(args...));
  }
};

}  // namespace

std::string TGLCall::Text() const {
  std::string text = Name + "(";
  for (std::size_t i = 0; i < Args.size(); ++i) text += (i ? ", " : "") + Args[i];
  return text + ")";
}

TRecordingGL::TRecordingGL() : FPrevious(GL) {
#define BRV_GL_RECORD(name) this->name = &TRecorder<TGLEntry::name, BRV_GL_SIGNATURE(name)>::Call;
  BRV_GL_ALL_ENTRIES(BRV_GL_RECORD)
#undef BRV_GL_RECORD
  VersionMajor = 1;
  VersionMinor = 1;
  current = this;
  SetGLBinding(this);
}

TRecordingGL::~TRecordingGL() {
  current = nullptr;
  SetGLBinding(FPrevious == this ? nullptr : FPrevious);
}

TRecordingGL& TRecordingGL::Current() {
  BRV_ASSERT_MSG(current != nullptr, "No recording GL table");
  return *current;
}

std::vector<std::string> TRecordingGL::Texts() const {
  std::vector<std::string> texts;
  for (const TGLCall& call : Calls) texts.push_back(call.Text());
  return texts;
}

std::vector<std::string> TRecordingGL::Texts(const std::string& name) const {
  std::vector<std::string> texts;
  for (const TGLCall& call : Calls)
    if (call.Name == name) texts.push_back(call.Text());
  return texts;
}

int TRecordingGL::Count(const std::string& name) const {
  return static_cast<int>(
      std::count_if(Calls.begin(), Calls.end(), [&](const TGLCall& call) { return call.Name == name; }));
}

void TRecordingGL::Note(const std::string& name, std::vector<std::string> args) {
  Calls.push_back(TGLCall{name, std::move(args)});
}

long long TRecordingGL::Queued(const char* name) {
  auto it = Returns.find(name);
  if (it == Returns.end() || it->second.empty()) return 0;
  long long value = it->second.front();
  it->second.pop_front();
  return value;
}

GLenum TRecordingGL::NextError() {
  if (Errors.empty()) return GL_NO_ERROR;
  GLenum error = Errors.front();
  Errors.pop_front();
  return error;
}

void TFakeGLContext::Log(const std::string& what) {
  if (current) current->Note(what, {FName});
}

void TFakeGLContext::ActivateInDriver() {
  Log("ActivateInDriver");
  if (FailActivation) throw EGLContext("Context activation failed: 0");
}

void TFakeGLContext::CreateInDriver(TNativeDevice) {
  Log("CreateInDriver");
  FValid = true;
  SetAcceleration(chaHardware);
}

void TFakeGLContext::CreateMemoryInDriver(TNativeDevice, int, int) {
  Log("CreateMemoryInDriver");
  FValid = true;
  SetAcceleration(chaSoftware);
}

void TFakeGLContext::ShareListsInDriver(TGLContext& other) {
  if (!dynamic_cast<TFakeGLContext*>(&other)) throw EGLContext("Incompatible contexts");
  Log("ShareListsInDriver");
}

void TFakeGLContext::DestroyInDriver() {
  Log("DestroyInDriver");
  FValid = false;
}
