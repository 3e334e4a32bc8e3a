"""Every English text of the module, in one place.

The command-line programs speak Spanish; the module speaks English, saying
for each refusal the reason the command line gives. What the GIS route finds
in the data itself (a layer that is not there, a mask with no pixel) is
reported in the words of lorvantide-raster, under RasterCommandError.
"""

# Arrays (channel)
NOT_AN_ARRAY = "{name} must be a numpy array, not {type}"
WRONG_DTYPE = "{name} must be an array of {dtype}, not {actual}{hint}"
SLOPE_HINT = " (elevations as whole numbers in the computation's scale, e.g. numpy.rint(dem * 100).astype(numpy.int32))"
MASK_HINT = " (grey tones 0 to 255)"
NOT_2D = "{name} must be a 2-D array (lines, columns), not of shape {shape}"
EMPTY = "{name} has no pixel (shape {shape})"
TOO_LARGE = "{name} has more than 2147483647 lines or columns (shape {shape})"
OTHER_SHAPE = "{name} has shape {shape}, the slope {slope_shape}: every raster must have the slope's shape"
NOT_ROW_MAJOR = ("the pixels of a line of {name} are not side by side in memory (Fortran order or a strided view): "
                 "pass numpy.ascontiguousarray({name})")
PERIMETER_TONE_ALONE = "perimeter_tone marks the perimeter: pass perimeter too"

# Numbers
NOT_WHOLE = "{name} must be a whole number, not {type}"
NAN_WHOLE = "{name} is NaN: a whole number is needed"
NOT_BOOL = "{name} must be True or False, not {type}"
TONE_RANGE = "{name} must be a grey tone from 0 to 255, not {value}"
INT32_RANGE = "{name} must fit in 32 bits (-2147483648 to 2147483647), not {value}"
THREADS_RANGE = "threads must be from 1 to 64, not {value}"
NOT_NUMBER = "{name} must be a number, not {type}"
NOT_FINITE = "{name} must be a finite number, not {value}"
NOT_POSITIVE = "{name} must be a positive number, not {value}"
NO_CONTOUR_ALTITUDE = "contour_altitude is needed (a number, or \"dem\") unless contour_altitude_field names the altitudes"
HEIGHT_OVERFLOW = "{name} {value} does not fit in 32 bits once multiplied by scale {scale}"

# Files and texts (channel_files)
NOT_PATH = "{name} must be a path (str or os.PathLike), not {type}"
NOT_TEXT = "{name} must be a str, not {type}"
NUL_IN_TEXT = "{name} holds a NUL character"
NO_INPUT = "no such file for {name}"
FOLDER_NOT_RASTER = "{name} is a folder, not a raster"
NO_FILE_NAME = "{name} needs a file name: {path!r}"
NO_FOLDER = "{name} cannot be written: there is no folder"
OUTPUT_IS_INPUT = "{name} {path} is also an input ({input}): choose another name"
OUTPUT_TWICE = "{name} and {other} name the same file: {path}"
OUTPUT_EXISTS = "{name} exists; pass overwrite=True to replace it"
OUTPUT_IS_FOLDER = "{name} exists and is a folder"
NEEDS_SOURCE = "{name} needs {source}"
OUTPUT_TYPE = ("output_type {value} does not suit the channel: without unscale the computation's whole numbers are "
               "written (Int16, UInt16 or Int32), with unscale real values (Float32 or Float64)")
FORMAT_MEM = "format MEM writes no file (it keeps the raster in memory)"
FORMAT_VRT = ("format VRT keeps no pixels, it only refers to other rasters: write a GeoTIFF "
              "(and, for a VRT, make one over it with gdalbuildvrt)")
CREATION_OPTION = "creation option {option!r} is not NAME=VALUE"
PIXEL_SIZES = "tr must be two pixel sizes (x, y), not {value!r}"
CONFIG_ENTRY = "config must map GDAL option names to values (str), not {key!r}: {value!r}"
NOT_CALLABLE = "progress must be callable (it is called with the share done, 0 to 1), not {type}"
NO_GIS = "channel_files needs the GIS part of the module, which was not built here (GDAL missing?): {reason}"

# Failures while computing
NO_MEMORY = "not enough memory for the channel of a {lines} x {columns} raster"
COMMAND_FAILED = "lorvantide-raster channel failed: {reason}"
