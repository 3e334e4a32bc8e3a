"""The Processing provider "lorvantide": lorvantide:channel and lorvantide:conditioned."""

from qgis.core import QgsProcessingProvider

from .algorithms import ChannelAlgorithm, ConditionedAlgorithm


class LorvantideProvider(QgsProcessingProvider):
    def id(self):
        return "lorvantide"

    def name(self):
        return "Lorvantide"

    def longName(self):  # noqa: N802
        return "Lorvantide: river channel elevation models"

    def loadAlgorithms(self):  # noqa: N802
        self.addAlgorithm(ChannelAlgorithm())
        self.addAlgorithm(ConditionedAlgorithm())
