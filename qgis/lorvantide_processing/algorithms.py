"""lorvantide:channel and lorvantide:conditioned, over lorvantide.channel_files.

Both take the parameters of `lorvantide-raster channel`, named as its long
options in upper case (DEM, BANKS, ZONE, CONTOUR, LAKES, BANKS_WHERE, ...,
RAILING_HEIGHT, CONTOUR_ALTITUDE, CONTOUR_ALTITUDE_FIELD, BURN_ONLY, SCALE,
NODATA, UNSCALE, MEMORY, THREADS, OUTPUT for -o and CONDITIONED), with GDAL's Processing names where the option has no long form
(DATA_TYPE for -ot, OPTIONS for -co), and write the same files: "Channel
elevation" requires OUTPUT and may write CONDITIONED too, "Conditioned DEM"
the other way round. The sources are vector layers: QGIS hands each over as a
file and layer name, saving it to a temporary GeoPackage first when it is not
one (a memory layer, selected features only).
"""

import os
import warnings

from qgis.core import (QgsProcessing, QgsProcessingAlgorithm, QgsProcessingException,
                       QgsProcessingParameterBoolean, QgsProcessingParameterCrs, QgsProcessingParameterDefinition,
                       QgsProcessingParameterEnum, QgsProcessingParameterFeatureSource, QgsProcessingParameterField,
                       QgsProcessingParameterNumber, QgsProcessingParameterRasterDestination,
                       QgsProcessingParameterRasterLayer, QgsProcessingParameterString, QgsProcessingUtils,
                       QgsRasterFileWriter)

# The vector sources: parameter, label, optional.
SOURCES = (("BANKS", "River banks (the railing)", False),
           ("ZONE", "Channel zone (polygons)", False),
           ("CONTOUR", "Limiting contour lines", False),
           ("LAKES", "Water bodies (their shores, or polygons)", True))
DATA_TYPES = ("Default (Int32, or Float32 with UNSCALE)", "Int16", "UInt16", "Int32", "Float32", "Float64")


class Canceled(Exception):
    """The user canceled the algorithm: raised by the progress callback to stop channel_files."""


class LorvantideAlgorithm(QgsProcessingAlgorithm):
    # Which output the algorithm is for; the other is optional.
    required_output = "OUTPUT"

    def group(self):
        return ""

    def groupId(self):  # noqa: N802
        return ""

    def createInstance(self):  # noqa: N802
        return type(self)()

    def initAlgorithm(self, config=None):  # noqa: N802
        self.addParameter(QgsProcessingParameterRasterLayer("DEM", "Elevation model (DEM)"))
        for name, label, optional in SOURCES:
            self.addParameter(QgsProcessingParameterFeatureSource(
                name, label, [QgsProcessing.TypeVectorLine, QgsProcessing.TypeVectorPolygon], optional=optional))
        self.addParameter(QgsProcessingParameterNumber(
            "RAILING_HEIGHT", "Railing height above the channel bed (DEM units)",
            QgsProcessingParameterNumber.Double, 1.0))
        self.addParameter(QgsProcessingParameterNumber(
            "CONTOUR_ALTITUDE", "Altitude of the limiting contour line (DEM units)",
            QgsProcessingParameterNumber.Double, optional=True))
        self.addParameter(QgsProcessingParameterField(
            "CONTOUR_ALTITUDE_FIELD", "Contour altitude field (each line at its own altitude)", None, "CONTOUR",
            QgsProcessingParameterField.Numeric, optional=True))
        advanced = []
        for name, label, _ in SOURCES:
            advanced.append(QgsProcessingParameterString(
                name + "_WHERE", "Attribute filter of " + label.split(" (")[0].lower() + " (OGR SQL)", optional=True))
        advanced += [
            QgsProcessingParameterBoolean("ALL_TOUCHED", "Burn every pixel a feature touches", False),
            QgsProcessingParameterBoolean("BURN_ONLY", "Conditioned DEM as a plain burn (no drainage)", False),
            QgsProcessingParameterCrs("ASSUME_CRS", "CRS of sources that declare none", optional=True),
            QgsProcessingParameterNumber("SCALE", "Integer resolution of the computation (100: hundredths)",
                                         QgsProcessingParameterNumber.Double, 100.0),
            QgsProcessingParameterNumber("NODATA", "Nodata value outside the channel zone (default -9999)",
                                         QgsProcessingParameterNumber.Double, optional=True),
            QgsProcessingParameterBoolean("UNSCALE", "Real values in DEM units instead of scaled integers", False),
            QgsProcessingParameterEnum("DATA_TYPE", "Channel output data type", DATA_TYPES, defaultValue=0),
            QgsProcessingParameterString("OPTIONS", "Creation options (NAME=VALUE, separated by |)", optional=True),
            QgsProcessingParameterString(
                "MEMORY", "Memory to use (bytes, K, M or G; by windows when the rasters do not fit)", optional=True),
            QgsProcessingParameterNumber("THREADS", "Threads (default: every processor)",
                                         QgsProcessingParameterNumber.Integer, optional=True, minValue=1),
        ]
        for parameter in advanced:
            parameter.setFlags(parameter.flags() | QgsProcessingParameterDefinition.FlagAdvanced)
            self.addParameter(parameter)
        for name, label in (("OUTPUT", "Channel elevation"), ("CONDITIONED", "Conditioned DEM")):
            optional = name != self.required_output
            self.addParameter(QgsProcessingParameterRasterDestination(
                name, label, optional=optional, createByDefault=not optional))

    def _sources(self, parameters, context, feedback):
        keywords = {}
        for name, _, optional in SOURCES:
            if optional and parameters.get(name) is None:
                continue
            path, layer = self.parameterAsCompatibleSourceLayerPathAndLayerName(
                parameters, name, context, ["gpkg", "shp"], "gpkg", feedback)
            keywords[name.lower()] = path
            if layer:
                keywords[name.lower() + "_layer"] = layer
            where = self.parameterAsString(parameters, name + "_WHERE", context)
            if where:
                keywords[name.lower() + "_where"] = where
        field = self.parameterAsString(parameters, "CONTOUR_ALTITUDE_FIELD", context)
        if field:
            keywords["contour_altitude_field"] = field
        if parameters.get("CONTOUR_ALTITUDE") is not None:
            keywords["contour_altitude"] = self.parameterAsDouble(parameters, "CONTOUR_ALTITUDE", context)
        elif not field:
            raise QgsProcessingException("CONTOUR_ALTITUDE or CONTOUR_ALTITUDE_FIELD is needed")
        return keywords

    def _outputs(self, parameters, context):
        outputs = {}
        for name in ("OUTPUT", "CONDITIONED"):
            if parameters.get(name) is not None:
                outputs[name] = self.parameterAsOutputLayer(parameters, name, context)
        if "OUTPUT" not in outputs:  # the conditioned DEM alone: the channel goes to a temporary file
            outputs["OUTPUT"] = QgsProcessingUtils.generateTempFilename("channel.tif")
        formats = {QgsRasterFileWriter.driverForExtension(os.path.splitext(path)[1]) or "GTiff"
                   for path in outputs.values()}
        if len(formats) > 1:
            raise QgsProcessingException("OUTPUT and CONDITIONED must be of one format (both GeoTIFF, say)")
        return outputs, formats.pop()

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        try:
            import lorvantide
        except ImportError as error:
            raise QgsProcessingException(
                "the Python module lorvantide cannot be imported by QGIS's Python ({}): install it "
                "(cmake --install) or add its folder to PYTHONPATH".format(error))
        outputs, driver = self._outputs(parameters, context)
        keywords = self._sources(parameters, context, feedback)
        keywords.update(
            dem=self.parameterAsRasterLayer(parameters, "DEM", context).source(),
            out=outputs["OUTPUT"], conditioned=outputs.get("CONDITIONED"), overwrite=True, format=driver,
            railing_height=self.parameterAsDouble(parameters, "RAILING_HEIGHT", context),
            scale=self.parameterAsDouble(parameters, "SCALE", context),
            all_touched=self.parameterAsBoolean(parameters, "ALL_TOUCHED", context),
            burn_only=self.parameterAsBoolean(parameters, "BURN_ONLY", context),
            unscale=self.parameterAsBoolean(parameters, "UNSCALE", context))
        crs = self.parameterAsCrs(parameters, "ASSUME_CRS", context)
        if crs.isValid():
            keywords["assume_crs"] = crs.authid() or crs.toWkt()
        if parameters.get("NODATA") is not None:
            keywords["nodata"] = self.parameterAsDouble(parameters, "NODATA", context)
        data_type = self.parameterAsEnum(parameters, "DATA_TYPE", context)
        if data_type > 0:
            keywords["output_type"] = DATA_TYPES[data_type]
        memory = self.parameterAsString(parameters, "MEMORY", context)
        if memory:
            keywords["memory"] = memory
        if parameters.get("THREADS") is not None:
            keywords["threads"] = self.parameterAsInt(parameters, "THREADS", context)
        options = self.parameterAsString(parameters, "OPTIONS", context)
        keywords["creation_options"] = [entry for entry in options.split("|") if entry]

        def progress(share):
            if feedback.isCanceled():
                raise Canceled()
            feedback.setProgress(100.0 * share)

        with warnings.catch_warnings(record=True) as notices:
            warnings.simplefilter("always")
            try:
                lorvantide.channel_files(progress=progress, **keywords)
            except Canceled:
                return {}
            except (TypeError, ValueError, OSError, lorvantide.RasterCommandError) as error:
                raise QgsProcessingException(str(error))
            finally:
                for notice in notices:
                    feedback.pushWarning(str(notice.message))
        return {name: outputs[name] for name in ("OUTPUT", "CONDITIONED")
                if name in outputs and parameters.get(name) is not None}


class ChannelAlgorithm(LorvantideAlgorithm):
    required_output = "OUTPUT"

    def name(self):
        return "channel"

    def displayName(self):  # noqa: N802
        return "Channel elevation"

    def shortHelpString(self):  # noqa: N802
        return ("The elevation model of a river channel: every pixel of the channel zone gets an elevation that "
                "rises, by distance, from the nearest river bank (or water-body shore) toward the altitude of the "
                "limiting contour line, on the DEM's grid (nodata outside the zone). The same computation and "
                "files as lorvantide-raster channel. With CONDITIONED, also the DEM with the channel burned in.")


class ConditionedAlgorithm(LorvantideAlgorithm):
    required_output = "CONDITIONED"

    def name(self):
        return "conditioned"

    def displayName(self):  # noqa: N802
        return "Conditioned DEM"

    def shortHelpString(self):  # noqa: N802
        return ("The DEM with the channel burned in: the same grid, type, nodata, scale and georeferencing, every "
                "pixel as in the DEM except those of the channel zone, which hold the channel's elevation (see "
                "Channel elevation): the terrain a hydraulic model runs on. The same file as lorvantide-raster "
                "channel --conditioned.")
