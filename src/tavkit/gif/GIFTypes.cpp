// The initial values of the codec's unit-level settings.
#include <tavkit/gif/GIFTypes.h>

namespace tavkit {

TGIFDrawOptions GIFImageDefaultDrawOptions = {goAsync, goTransparent, goAnimate,
                                              goLoop,  goDither,      goAutoDither};
TColorReduction GIFImageDefaultColorReduction = rmNetscape;
TDitherMode GIFImageDefaultDitherMode = dmNearest;
TGIFCompression GIFImageDefaultCompression = gcLZW;
TThreadPriority GIFImageDefaultThreadPriority = tpNormal;
int GIFImageDefaultAnimationSpeed = 100;
bool DoAutoDither = false;
int GIFDelayExp = 12;
int GIFDefaultDelay = 10;
int GIFMinimumDelay = 4;
int GIFMaximumDelay = 1000;


const char* const GIFVersions[3] = {"", "87a", "89a"};

void GIFImage::Register() {
  GIFImageDefaultDrawOptions.Exclude(goLoop);
}

}  // namespace tavkit
