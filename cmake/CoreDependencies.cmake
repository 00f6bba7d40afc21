# Libraries the core needs beyond OpenMP (none of them a GUI toolkit).
