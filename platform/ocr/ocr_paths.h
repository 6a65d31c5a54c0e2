#pragma once

#include <QString>

// Paths written the Windows way (".\models\x.onnx") as a path of this
// system: backslashes become slashes; a relative path that does not exist
// from the working directory is taken from the program's folder instead.
QString toLocalPath(const QString &path);

// The model file to load for a configured name: the name itself, or, when
// only the newer model generation is installed, its PP-OCRv4 twin. Empty when
// neither exists.
QString resolveModelFile(const QString &configured);
