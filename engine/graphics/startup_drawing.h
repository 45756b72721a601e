// The drawing at the end of library start-up: both screens start black and
// every path the first frames take (a drawable graph as draw target, a
// graph made from a decoded image, plain, subtractive and stretched draws
// on both screens) has run once. Leaves the front screen as draw target.
#pragma once

int DrawStartupScreen();
