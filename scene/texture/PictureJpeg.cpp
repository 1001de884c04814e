// JPEG decoding through libjpeg. libjpeg reports errors by calling a routine that
// must not return; ours jumps back to the decoding frame with longjmp. That frame
// and the routines libjpeg calls hold only plain data, so that the jump skips no
// destructor, and no C++ exception ever travels through libjpeg's C frames.

#include "scene/texture/Picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

struct TJpegErrors {
  jpeg_error_mgr Manager;  // first: libjpeg hands us a pointer to it
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr info) {
  auto* errors = reinterpret_cast<TJpegErrors*>(info->err);
  info->err->format_message(info, errors->Message);
  std::longjmp(errors->Jump, 1);
}

// libjpeg goes on after a warning about damaged data (a file cut short decodes
// as grey below the cut). We refuse such files: a texture should not show half
// a picture without anyone being told.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
  if (level < 0) JpegErrorExit(info);
}

// Everything the decoding frame touches, kept by the caller.
struct TJpegJob {
  const unsigned char* Data;
  unsigned long Size;
  jpeg_decompress_struct Info;
  TJpegErrors Errors;
  TBitmap* Bitmap;
};

// Gives the bitmap the decoded picture's size; false, with the reason in the
// job's message, when it is too large (the bitmap refuses it). Raises nothing.
bool AllocateBitmap(TJpegJob& job, JDIMENSION width, JDIMENSION height) {
  try {
    job.Bitmap->SetSize(static_cast<int>(width), static_cast<int>(height), pf24bit);
  } catch (const std::exception& e) {
    std::snprintf(job.Errors.Message, JMSG_LENGTH_MAX, "%s", e.what());
    return false;
  }
  return true;
}

// Decodes the job's data into its bitmap; false, with the reason in
// job.Errors.Message, when libjpeg gives up or the picture is too large.
bool RunJpegJob(TJpegJob& job) {
  jpeg_decompress_struct& info = job.Info;
  info.err = jpeg_std_error(&job.Errors.Manager);
  job.Errors.Manager.error_exit = JpegErrorExit;
  job.Errors.Manager.emit_message = JpegEmitMessage;
  if (setjmp(job.Errors.Jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, job.Data, job.Size);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (!AllocateBitmap(job, info.output_width, info.output_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = job.Bitmap->ScanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

void DecodeJpegFile(const std::string& bytes, const std::string& name, TBitmap& bitmap) {
  TJpegJob job{};
  job.Data = reinterpret_cast<const unsigned char*>(bytes.data());
  job.Size = bytes.size();
  job.Bitmap = &bitmap;
  if (!RunJpegJob(job)) throw EInvalidPicture("Invalid picture file " + name + ": " + job.Errors.Message);
  // libjpeg gives red, green, blue; bitmaps hold blue, green, red.
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 3) std::swap(p[0], p[2]);
  }
}
