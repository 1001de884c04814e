// The binding's reading of the implementation's strings, and error texts.

#include "scene/gl/OpenGLBinding.h"

#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

TEST(OpenGLBinding, VersionAndExtensionsAreReadAsWholeWords) {
  struct TCase {
    const char* Version;
    const char* Extensions;
    int Major, Minor;
    bool Multitexture, Multisample, Anisotropic, GenerateMipmap;
  };
  const TCase cases[] = {
      {"1.1 Mesa 22.3.6", "GL_ARB_multitexture GL_SGIS_generate_mipmap", 1, 1, true, false, false, true},
      {"2.1.3", "  GL_ARB_multisample  GL_EXT_texture_filter_anisotropic ", 2, 1, false, true, true, false},
      // A longer name that starts with an extension's name is another extension.
      {"1.0", "GL_ARB_multitextures GL_EXT_texture_filter_anisotropic_x", 1, 0, false, false, false, false},
      {"", "", 0, 0, false, false, false, false},
      {"unknown", "GL_SGIS_generate_mipmap", 0, 0, false, false, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Version) + " / " + c.Extensions);
    TGLBinding binding;
    binding.ReadExtensionStrings(c.Version, c.Extensions);
    EXPECT_EQ(binding.VersionMajor, c.Major);
    EXPECT_EQ(binding.VersionMinor, c.Minor);
    EXPECT_EQ(binding.VERSION_1_1(), c.Major > 1 || (c.Major == 1 && c.Minor >= 1));
    EXPECT_EQ(binding.ARB_multitexture, c.Multitexture);
    EXPECT_EQ(binding.ARB_multisample, c.Multisample);
    EXPECT_EQ(binding.EXT_texture_filter_anisotropic, c.Anisotropic);
    EXPECT_EQ(binding.SGIS_generate_mipmap, c.GenerateMipmap);
  }
}

TEST(OpenGLBinding, ErrorTextsComeFromGLUOrNameTheCode) {
  TRecordingGL gl;
  EXPECT_EQ(GLErrorText(GL_INVALID_ENUM), "invalid enumerant");
  EXPECT_EQ(GLErrorText(0x1234), "GL error 0x1234");
}

}  // namespace
