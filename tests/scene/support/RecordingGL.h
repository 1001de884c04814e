#pragma once
// A GL table that records every call with its arguments instead of drawing, for
// checking call sequences without a GPU. While one exists it is the current
// table (GL points at it); the real one is restored when it goes.
//
//   TRecordingGL gl;
//   gl.Errors = {GL_INVALID_ENUM};
//   ... code under test ...
//   EXPECT_EQ(gl.Texts(), (std::vector<std::string>{"glGenLists(1)", "glGetError()"}));

#include "scene/gl/GLContext.h"

#include <deque>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

struct TGLCall {
  std::string Name;
  std::vector<std::string> Args;
  // "glDeleteLists(5, 1)"
  std::string Text() const;
};

// How an argument appears in the log: integers in decimal, floating point in
// the shortest form, pointers as "ptr" or "null".
template <typename T>
std::string GLArgText(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return value ? "ptr" : "null";
  } else if constexpr (std::is_floating_point_v<T>) {
    std::ostringstream text;
    text << value;
    return text.str();
  } else {
    return std::to_string(static_cast<long long>(value));
  }
}

// The log text of a call: GLCallText("glDeleteLists", 5, 1) == "glDeleteLists(5, 1)".
template <typename... Args>
std::string GLCallText(const std::string& name, Args... args) {
  return TGLCall{name, {GLArgText(args)...}}.Text();
}

class TRecordingGL : public TGLBinding {
public:
  TRecordingGL();
  ~TRecordingGL();
  TRecordingGL(const TRecordingGL&) = delete;
  TRecordingGL& operator=(const TRecordingGL&) = delete;

  static TRecordingGL& Current();

  std::vector<TGLCall> Calls;
  // The texts of all calls, or of the calls to `name` only.
  std::vector<std::string> Texts() const;
  std::vector<std::string> Texts(const std::string& name) const;
  int Count(const std::string& name) const;
  void Clear() { Calls.clear(); }
  // The texts of the calls `action` makes (the log is cleared first).
  template <typename F>
  std::vector<std::string> CallsOf(F action) {
    Clear();
    action();
    return Texts();
  }
  // Adds a line to the log (fake contexts log their driver operations here).
  void Note(const std::string& name, std::vector<std::string> args = {});

  // What the fake answers.
  std::deque<GLenum> Errors;               // glGetError pops the front; GL_NO_ERROR when empty
  std::deque<GLuint> ListNames;            // glGenLists pops the front; else NextListName++
  GLuint NextListName = 1;
  GLuint NextTextureName = 1;              // glGenTextures hands out names from here
  std::map<GLenum, std::string> Strings;   // glGetString
  std::map<GLenum, std::vector<GLint>> Integers;  // glGetIntegerv
  std::map<std::string, std::deque<long long>> Returns;  // any other call with a numeric result

  template <TGLEntry Entry, typename Result, typename Tuple>
  Result Respond(const Tuple& args);

private:
  long long Queued(const char* name);
  GLenum NextError();
  std::string FErrorText;
  char FQuadric = 0;  // gluNewQuadric hands out its address
  TGLBinding* FPrevious;
};

template <TGLEntry Entry, typename Result, typename Tuple>
Result TRecordingGL::Respond(const Tuple& args) {
  if constexpr (Entry == TGLEntry::glGetError) {
    return NextError();
  } else if constexpr (Entry == TGLEntry::glGenLists) {
    if (!ListNames.empty()) {
      GLuint name = ListNames.front();
      ListNames.pop_front();
      return name;
    }
    GLuint first = NextListName;
    NextListName += static_cast<GLuint>(std::get<0>(args));
    return first;
  } else if constexpr (Entry == TGLEntry::glGenTextures) {
    for (GLsizei i = 0; i < std::get<0>(args); ++i) std::get<1>(args)[i] = NextTextureName++;
  } else if constexpr (Entry == TGLEntry::glGetString) {
    auto it = Strings.find(std::get<0>(args));
    return it == Strings.end() ? nullptr : reinterpret_cast<const GLubyte*>(it->second.c_str());
  } else if constexpr (Entry == TGLEntry::glGetIntegerv) {
    auto it = Integers.find(std::get<0>(args));
    if (it != Integers.end())
      for (std::size_t i = 0; i < it->second.size(); ++i) std::get<1>(args)[i] = it->second[i];
  } else if constexpr (Entry == TGLEntry::gluNewQuadric) {
    return reinterpret_cast<GLUquadric*>(&FQuadric);
  } else if constexpr (Entry == TGLEntry::gluErrorString) {
    switch (std::get<0>(args)) {
      case GL_INVALID_ENUM: FErrorText = "invalid enumerant"; break;
      case GL_INVALID_VALUE: FErrorText = "invalid value"; break;
      case GL_INVALID_OPERATION: FErrorText = "invalid operation"; break;
      case GL_STACK_OVERFLOW: FErrorText = "stack overflow"; break;
      case GL_STACK_UNDERFLOW: FErrorText = "stack underflow"; break;
      case GL_OUT_OF_MEMORY: FErrorText = "out of memory"; break;
      default: return nullptr;
    }
    return reinterpret_cast<const GLubyte*>(FErrorText.c_str());
  } else if constexpr (std::is_arithmetic_v<Result>) {
    return static_cast<Result>(Queued(GLEntryName(Entry)));
  } else if constexpr (!std::is_void_v<Result>) {
    return Result{};
  }
}

// A context whose driver side only logs to the current recording table:
// "CreateInDriver(name)", "ActivateInDriver(name)" and so on.
class TFakeGLContext : public TGLContext {
public:
  explicit TFakeGLContext(std::string name = "ctx") : FName(std::move(name)) {}
  ~TFakeGLContext() override { DestroyContextQuietly(); }
  bool IsValid() const override { return FValid; }
  void SwapBuffers() override { Log("SwapBuffers"); }
  const std::string& Name() const { return FName; }
  // Makes the next ActivateInDriver raise, as a driver refusing it would.
  bool FailActivation = false;
  // Drops the GL context behind the object's back, as a lost device would.
  void LoseContext() { FValid = false; }

protected:
  void ActivateInDriver() override;
  void DeactivateInDriver() override { Log("DeactivateInDriver"); }
  void CreateInDriver(TNativeDevice) override;
  void CreateMemoryInDriver(TNativeDevice, int, int) override;
  void ShareListsInDriver(TGLContext& other) override;
  void DestroyInDriver() override;

private:
  void Log(const std::string& what);
  std::string FName;
  bool FValid = false;
};
