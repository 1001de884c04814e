// JPEG decoding through libjpeg. libjpeg reports errors by calling a routine that
// must not return; ours jumps back to the decoding frame with longjmp. That frame
// and the routines libjpeg calls hold only plain data, so that the jump skips no
// destructor, and no C++ exception ever travels through libjpeg's C frames.

#include "scene/texture/Picture.h"

#include "PictureFiles.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

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
// a picture without anyone being told. Bytes before a marker where none belong
// are the one warning we let pass: many writers leave padding there, and the
// picture decodes whole (every viewer shows it).
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  if (info->err->msg_code == JWRN_EXTRANEOUS_DATA) {
    ++info->err->num_warnings;
    return;
  }
  JpegErrorExit(info);
}

// Why a job gave up.
enum class TJpegRefusal { Libjpeg, TooLarge, UnknownColours, NoMemory };

// Everything the decoding frame touches, kept by the caller.
struct TJpegJob {
  const unsigned char* Data;
  unsigned long Size;
  jpeg_decompress_struct Info;
  TJpegErrors Errors;
  TBitmap* Bitmap;
  // The longest side to read at, 0 for the whole picture, and the reducer that
  // takes libjpeg's rows when they are still longer.
  int MaxSide;
  TPictureReducer* Reducer;
  TJpegRefusal Refusal;
  // From the header, for the messages.
  JDIMENSION Width, Height;
  int Components;
};

// The size the picture is read at.
TPictureSize ReadSize(const TJpegJob& job) {
  return ReducedPictureSize(static_cast<int>(job.Width), static_cast<int>(job.Height), job.MaxSide);
}

// Decodes at the smallest of libjpeg's scales, M/8 for M from 1 to 8, whose rows
// still reach the reduced size on both sides: the scaled decode costs a fraction
// of the whole one, and no detail the reduced picture can show is lost. Each side
// is scaled on its own, so the longer one alone does not tell: 9 x 8 pixels at 2/8
// give 3 x 2, short of the 3 x 3 they are read at with a longest side of 3.
void ChooseScale(TJpegJob& job) {
  jpeg_decompress_struct& info = job.Info;
  const TPictureSize size = ReadSize(job);
  if (size.Width == int(job.Width) && size.Height == int(job.Height)) return;
  for (unsigned scale = 1; scale <= 8; ++scale) {
    info.scale_num = scale;
    info.scale_denom = 8;
    jpeg_calc_output_dimensions(&info);
    if (info.output_width >= JDIMENSION(size.Width) && info.output_height >= JDIMENSION(size.Height)) return;
  }
}

// Gives the bitmap the size it is read at, and the reducer its rows when libjpeg
// hands them over larger than that; false when there is no memory for it. Raises
// nothing.
bool AllocateBitmap(TJpegJob& job) {
  const jpeg_decompress_struct& info = job.Info;
  try {
    const TPictureSize size = ReadSize(job);
    const int width = size.Width, height = size.Height;
    job.Bitmap->SetSize(width, height, pf24bit);
    if (JDIMENSION(width) == info.output_width && JDIMENSION(height) == info.output_height)
      job.Reducer = nullptr;
    else
      job.Reducer->Start(static_cast<int>(info.output_width), static_cast<int>(info.output_height), *job.Bitmap);
  } catch (...) {
    return false;
  }
  return true;
}

// One row of CMYK into blue, green, red. Without an Adobe marker the bytes are the
// amounts of ink; Adobe's programs write them inverted, 255 for no ink, and mark
// their files so.
void InksToBgr(const JSAMPLE* inks, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, inks += 4, bgr += 3) {
    // What each ink leaves of the paper's white.
    unsigned left[4];
    for (int i = 0; i < 4; ++i) left[i] = inverted ? inks[i] : 255u - inks[i];
    bgr[0] = static_cast<std::uint8_t>((left[2] * left[3] + 127) / 255);
    bgr[1] = static_cast<std::uint8_t>((left[1] * left[3] + 127) / 255);
    bgr[2] = static_cast<std::uint8_t>((left[0] * left[3] + 127) / 255);
  }
}

// Ends a job that gave up for `why`.
bool Refuse(TJpegJob& job, TJpegRefusal why) {
  jpeg_destroy_decompress(&job.Info);
  job.Refusal = why;
  return false;
}

// Decodes the job's data into its bitmap; false, with the reason in the job, when
// libjpeg gives up or the picture is refused.
bool RunJpegJob(TJpegJob& job) {
  jpeg_decompress_struct& info = job.Info;
  info.err = jpeg_std_error(&job.Errors.Manager);
  job.Errors.Manager.error_exit = JpegErrorExit;
  job.Errors.Manager.emit_message = JpegEmitMessage;
  if (setjmp(job.Errors.Jump) != 0) return Refuse(job, TJpegRefusal::Libjpeg);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, job.Data, job.Size);
  jpeg_read_header(&info, TRUE);
  job.Width = info.image_width;
  job.Height = info.image_height;
  job.Components = info.num_components;
  // Refused before anything is decoded: libjpeg decodes every scan of a
  // progressive file inside jpeg_start_decompress, into a buffer of the whole
  // picture, so a small file declaring a huge one would cost gigabytes first.
  if (PictureTooLarge(job.Width, job.Height)) return Refuse(job, TJpegRefusal::TooLarge);
  bool cmyk = false;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      info.out_color_space = JCS_EXT_BGR;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      cmyk = true;
      break;
    default:
      return Refuse(job, TJpegRefusal::UnknownColours);
  }
  ChooseScale(job);
  jpeg_start_decompress(&info);
  if (!AllocateBitmap(job)) return Refuse(job, TJpegRefusal::NoMemory);
  // libjpeg's own memory, freed with the rest of it on every way out: the row in
  // inks, and the row handed to the reducer.
  const j_common_ptr common = reinterpret_cast<j_common_ptr>(&info);
  JSAMPARRAY inks = cmyk ? (*info.mem->alloc_sarray)(common, JPOOL_IMAGE, info.output_width * 4, 1) : nullptr;
  JSAMPARRAY reduced = job.Reducer ? (*info.mem->alloc_sarray)(common, JPOOL_IMAGE, info.output_width * 3, 1)
                                   : nullptr;
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    std::uint8_t* row = reduced ? reduced[0] : job.Bitmap->ScanLine(y);
    if (inks) {
      jpeg_read_scanlines(&info, inks, 1);
      InksToBgr(inks[0], row, info.output_width, info.saw_Adobe_marker);
    } else {
      JSAMPROW rows[] = {row};
      jpeg_read_scanlines(&info, rows, 1);
    }
    if (reduced) job.Reducer->AddRow(y, row);
  }
  if (job.Reducer) job.Reducer->Finish();
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// The words for what libjpeg gave up on.
std::string LibjpegText(const TJpegJob& job) {
  const jpeg_error_mgr& errors = job.Errors.Manager;
  switch (errors.msg_code) {
    case JWRN_JPEG_EOF:
    case JERR_INPUT_EOF:
      return "the file is cut short: its JPEG data ends before the picture does";
    case JERR_BAD_PRECISION:
      return "it is a JPEG file of " + std::to_string(errors.msg_parm.i[0]) +
             " bits per sample; JPEG files of 8 bits per sample are read";
    case JERR_SOF_UNSUPPORTED: {
      // Frame markers C3, C7, CB and CF start the lossless processes, C5, C6, CD
      // and CE the hierarchical ones; C8 is reserved.
      const int marker = errors.msg_parm.i[0];
      const std::string kind = (marker & 3) == 3 ? "a lossless JPEG file"
                               : marker == 0xC8  ? "a JPEG file of a reserved kind"
                                                 : "a hierarchical JPEG file";
      return "it is " + kind + "; baseline and progressive JPEG files are read";
    }
    case JERR_OUT_OF_MEMORY:
      return "there is not enough memory to decode it";
    default:
      return std::string("its JPEG data is damaged (") + job.Errors.Message + ")";
  }
}

}  // namespace

void DecodeJpegFile(const std::string& bytes, const std::string& name, TBitmap& bitmap, int maxSide) {
  CheckPictureFormat(name, bytes, "JPEG");
  // Kept here, outside the frame libjpeg jumps back to: it owns memory.
  TPictureReducer reducer;
  TJpegJob job{};
  job.Data = reinterpret_cast<const unsigned char*>(bytes.data());
  job.Size = bytes.size();
  job.Bitmap = &bitmap;
  job.MaxSide = maxSide;
  job.Reducer = &reducer;
  if (RunJpegJob(job)) return;
  switch (job.Refusal) {
    case TJpegRefusal::TooLarge:
      CheckPictureSize(name, job.Width, job.Height);
      break;
    case TJpegRefusal::UnknownColours:
      RefusePicture(name, "it is a JPEG file of " + std::to_string(job.Components) +
                              " colour components in no colour space we know; grey, colour, CMYK and YCCK JPEG "
                              "files are read");
    case TJpegRefusal::NoMemory:
      RefusePicture(name, "there is not enough memory for its " + std::to_string(job.Width) + " x " +
                              std::to_string(job.Height) + " pixels");
    case TJpegRefusal::Libjpeg:
      break;
  }
  RefusePicture(name, LibjpegText(job));
}
