// Rendering of controller event records as XML elements.
