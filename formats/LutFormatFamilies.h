// Factories of the format families, one group per source file. The format table in LutFormat.cpp
// calls them; a new family adds its group here and names its factories in the table's rows.
#pragma once

#include <memory>

namespace tintwise {

class TLUTFormat;
using TLutFormatFactory = std::unique_ptr<TLUTFormat> (*)();

// CubeFormats.cpp
std::unique_ptr<TLUTFormat> NewCube3DTruelightLutFormat();
std::unique_ptr<TLUTFormat> NewCube3DLutFormat();
std::unique_ptr<TLUTFormat> NewCube1DLutFormat();
std::unique_ptr<TLUTFormat> NewNucoda3DLutFormat();
std::unique_ptr<TLUTFormat> NewNucoda1DLutWriterFormat();
std::unique_ptr<TLUTFormat> NewFSI_CFE_3DLutFormat();

// ThreeDLFormat.cpp
std::unique_ptr<TLUTFormat> New3dlLutFormat();

// LustreFormats.cpp
std::unique_ptr<TLUTFormat> NewLustre3DLutFormat();
std::unique_ptr<TLUTFormat> NewPandora3DLutFormat();
std::unique_ptr<TLUTFormat> NewLustre1DLutFormat();

// FsiDitFormat.cpp
std::unique_ptr<TLUTFormat> NewFSI_DIT_3DLutFormat();

// CodexQuantelFormats.cpp
std::unique_ptr<TLUTFormat> NewCodex3DLutFormat();
std::unique_ptr<TLUTFormat> NewQuantel3DLutFormat();
std::unique_ptr<TLUTFormat> NewCodex1DLutFormat();
std::unique_ptr<TLUTFormat> NewQuantel1DLutFormat();

// ClipsterFormats.cpp
std::unique_ptr<TLUTFormat> NewClipster3DLutFormat();
std::unique_ptr<TLUTFormat> NewLuther3DLutFormat();
std::unique_ptr<TLUTFormat> NewColorFrontOSD3DLutFormat();
std::unique_ptr<TLUTFormat> NewDavinciDat3DLutFormat();
std::unique_ptr<TLUTFormat> NewColorFrontOSD1DLutFormat();

// OneDFormats.cpp
std::unique_ptr<TLUTFormat> NewFilmlight1DLutFormat();
std::unique_ptr<TLUTFormat> NewStwo1DLutFormat();
std::unique_ptr<TLUTFormat> NewFusion1DLutFormat();
std::unique_ptr<TLUTFormat> NewBlackmagic1DLutFormat();
std::unique_ptr<TLUTFormat> NewCinetal1DLutFormat();
std::unique_ptr<TLUTFormat> NewShake1DLutFormat();
std::unique_ptr<TLUTFormat> NewDavinciILut1DLutFormat();
std::unique_ptr<TLUTFormat> NewDavinciOLut1DLutFormat();

// XmlFormats.cpp
std::unique_ptr<TLUTFormat> NewSpeedgradeLook3DLutFormat();
std::unique_ptr<TLUTFormat> NewPFClean3D_Format();

// CdlFormat.cpp
std::unique_ptr<TLUTFormat> NewASC_CDL_Format();

} // namespace tintwise
