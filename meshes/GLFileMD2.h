#pragma once
// The reader of MD2 models ("md2"): one morphable mesh object whose morph targets
// are the file's frames, and for an actor one animation per name of its frames.

#include "meshes/GLVectorFileObjectsFormats.h"

class TGLMD2VectorFile : public TVectorFile {
  BRV_DATA_FILE_CLASS(TGLMD2VectorFile, TVectorFile)

public:
  using TVectorFile::TVectorFile;

  // The MD2 reader's EMD2Error passes through; triangles without a frame to take
  // their vertices from raise it too. A mesh that is no actor shows frame 0.
  void LoadFromStream(TStream& stream) override;
  // An actor's animations become those of the file: each from its first frame to
  // the frame before the next animation's.
  void LoadFinished() override;

private:
  struct TAnimation {
    std::string Name;
    int StartFrame, EndFrame;
  };
  std::vector<TAnimation> FAnimations;
};
