"""QGIS plugin: the Processing provider of Lorvantide (provider.py)."""


def classFactory(iface):  # noqa: N802 (QGIS's name)
    from .plugin import LorvantidePlugin
    return LorvantidePlugin()
