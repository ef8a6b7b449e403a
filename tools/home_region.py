"""The club's home region as the tool has it built in: a longitude-latitude box with eight
small rectangles cut out. Shared by the example generator and the map drawing."""

HOME_BOX = (54.31766, 55.29453, 19.6361, 22.88157)  # south, north, west, east
EXCLUSIONS = [  # west, east, south, north
    (20.96323831461133, 20.97072079076305, 55.27996081770952, 55.2840315052677),
    (21.90588938126487, 21.91458500224395, 55.08415433794899, 55.08909773742945),
    (22.59213077458476, 22.60452470665179, 55.05248725950057, 55.0606162766432),
    (22.74486228643655, 22.74860471217904, 54.64100466264195, 54.64302207966642),
    (22.2899593702718, 22.30362966687954, 54.3309406350495, 54.34106947288356),
    (20.65683268450688, 20.6683704977666, 54.36542384481084, 54.3717501615665),
    (20.0370816751938, 20.07279516197181, 54.4073021599264, 54.42193702517267),
    (19.89043717447827, 19.89796710186563, 54.42888273632767, 54.43411813419868),
]


def outside_home(lat, lon):
    """True when the point lies outside the home region (box edges inside, rectangle edges
    not in the rectangles)."""
    south, north, west, east = HOME_BOX
    if lat < south or lat > north or lon < west or lon > east:
        return True
    return any(w < lon < e and s < lat < n for w, e, s, n in EXCLUSIONS)
