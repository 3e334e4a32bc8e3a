"""The plugin registers the provider, in the desktop and in qgis_process alike."""

from qgis.core import QgsApplication

from .provider import LorvantideProvider


class LorvantidePlugin:
    def __init__(self):
        self.provider = None

    def initProcessing(self):  # noqa: N802 (QGIS's name; qgis_process calls it alone)
        if self.provider is None:
            self.provider = LorvantideProvider()
            QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):  # noqa: N802
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
